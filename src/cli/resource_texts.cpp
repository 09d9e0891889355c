#include "cli/resource_texts.h"

#include <optional>

#include "cli/language.h"
#include "res/compiled_resources.h"
#include "ui/resource_data.h"

namespace quillet {

namespace {

const ResourceFile* Resources() {
    static const std::optional<ResourceFile> file =
        ResourceFile::Parse(CompiledResourceData(), CompiledResourceSize());
    return file ? &*file : nullptr;
}

}  // namespace

std::string ResourceTexts::LoadStringResource(int id) {
    const ResourceFile* file = Resources();
    if (file == nullptr)
        return std::string();
    return InTerminalCharset(file->FindString(id, language_).value_or(std::string()));
}

std::string ResourceTexts::DialogText(int dialogId, int controlId) {
    const ResourceFile* file = Resources();
    const ResourceEntry* entry =
        file ? file->FindForLanguage(kRtDialog, static_cast<uint16_t>(dialogId), language_)
             : nullptr;
    if (entry == nullptr)
        return std::string();
    const std::optional<DialogTemplate> dialog = ParseDialogTemplate(entry->data);
    if (!dialog)
        return std::string();
    for (const DialogItemTemplate& item : dialog->items) {
        if (item.id == controlId)
            return InTerminalCharset(item.title.text);
    }
    return std::string();
}

std::string ResourceTexts::ProductVersion() {
    const ResourceFile* file = Resources();
    const ResourceEntry* entry =
        file ? file->FindForLanguage(kRtVersion, 1, kLanguageEnglishUs) : nullptr;
    const std::optional<VersionRecord> record =
        entry ? ParseVersionRecord(entry->data) : std::nullopt;
    if (!record)
        return std::string();
    return std::to_string(record->productVersionHigh >> 16) + "." +
           std::to_string(record->productVersionHigh & 0xFFFF) + "." +
           std::to_string(record->productVersionLow >> 16) + "." +
           std::to_string(record->productVersionLow & 0xFFFF);
}

}  // namespace quillet
