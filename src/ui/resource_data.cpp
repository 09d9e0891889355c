#include "ui/resource_data.h"

#include "ui/text.h"

namespace quillet {

namespace {

constexpr std::uint32_t kDsSetFont = 0x40;
constexpr std::uint32_t kDsShellFont = 0x48;
constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr std::size_t kResourceHeaderMinimum = 32;

// Little-endian reads within [offset, limit). After the first read past the limit every read
// gives 0 and ok() stays false.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t limit, std::size_t offset = 0)
        : data_(data), limit_(limit), offset_(offset) {}

    bool ok() const { return ok_; }
    std::size_t offset() const { return offset_; }

    bool Has(std::size_t count) {
        if (!ok_ || offset_ > limit_ || limit_ - offset_ < count)
            ok_ = false;
        return ok_;
    }
    std::uint8_t U8() {
        if (!Has(1))
            return 0;
        return data_[offset_++];
    }
    std::uint16_t U16() {
        if (!Has(2))
            return 0;
        std::uint16_t value =
            static_cast<std::uint16_t>(data_[offset_] | (data_[offset_ + 1] << 8));
        offset_ += 2;
        return value;
    }
    std::uint32_t U32() {
        std::uint32_t low = U16();
        std::uint32_t high = U16();
        return low | (high << 16);
    }
    int I16() { return static_cast<std::int16_t>(U16()); }

    // A NUL-terminated UTF-16 text.
    std::u16string Text16() {
        std::u16string text;
        for (;;) {
            std::uint16_t unit = U16();
            if (!ok_ || unit == 0)
                return text;
            text += static_cast<char16_t>(unit);
        }
    }
    std::string Text() { return Utf16ToUtf8(Text16()); }

    // 0x0000: none; 0xFFFF and a number; else a NUL-terminated name.
    ResourceName NameOrOrdinal() {
        ResourceName name;
        if (!Has(2))
            return name;
        std::uint16_t first =
            static_cast<std::uint16_t>(data_[offset_] | (data_[offset_ + 1] << 8));
        if (first == 0xFFFF) {
            offset_ += 2;
            name.ordinal = U16();
        } else if (first == 0) {
            offset_ += 2;
        } else {
            name.text = Text();
            if (name.text.empty())
                ok_ = false;
        }
        return name;
    }

    std::vector<std::uint8_t> Bytes(std::size_t count) {
        if (!Has(count))
            return {};
        std::vector<std::uint8_t> bytes(data_ + offset_, data_ + offset_ + count);
        offset_ += count;
        return bytes;
    }
    void Skip(std::size_t count) {
        if (Has(count))
            offset_ += count;
    }
    // Aligns to a multiple of four counted from the start of the data.
    void Align4() {
        std::size_t aligned = (offset_ + 3) & ~static_cast<std::size_t>(3);
        Skip(aligned - offset_);
    }
    // As Align4, but reaching the limit is not an error (trailing padding may be omitted).
    void Align4OrEnd() {
        std::size_t aligned = (offset_ + 3) & ~static_cast<std::size_t>(3);
        offset_ = aligned < limit_ ? aligned : limit_;
    }

private:
    const std::uint8_t* data_;
    std::size_t limit_;
    std::size_t offset_;
    bool ok_ = true;
};

LanguageId PrimaryLanguage(LanguageId language) {
    return static_cast<LanguageId>(language & 0x3FF);
}

// One node of the version record's tree.
struct VersionBlock {
    std::string key;
    std::uint16_t type = 0;  // 1: the value is a text
    std::vector<std::uint8_t> value;
    std::vector<VersionBlock> children;
};

bool ReadVersionBlock(const std::vector<std::uint8_t>& data, std::size_t offset, int depth,
                      VersionBlock& block, std::size_t& next) {
    // The record nests four deep at most (root, string file info, string table, string).
    if (depth > 4)
        return false;
    Reader header(data.data(), data.size(), offset);
    std::size_t length = header.U16();
    std::size_t valueLength = header.U16();
    block.type = header.U16();
    if (!header.ok() || length < 6 || length > data.size() - offset)
        return false;
    std::size_t end = offset + length;
    Reader reader(data.data(), end, header.offset());
    block.key = reader.Text();
    reader.Align4OrEnd();
    std::size_t valueBytes = block.type == 1 ? valueLength * 2 : valueLength;
    if (valueBytes > end - reader.offset())
        valueBytes = end - reader.offset();
    block.value = reader.Bytes(valueBytes);
    reader.Align4OrEnd();
    if (!reader.ok())
        return false;
    std::size_t at = reader.offset();
    while (at < end) {
        VersionBlock child;
        std::size_t after = 0;
        if (!ReadVersionBlock(data, at, depth + 1, child, after) || after <= at)
            return false;
        block.children.push_back(std::move(child));
        at = after;
    }
    next = (end + 3) & ~static_cast<std::size_t>(3);
    return true;
}

std::string ValueText(const std::vector<std::uint8_t>& value) {
    Reader reader(value.data(), value.size());
    std::u16string text;
    while (reader.Has(2)) {
        std::uint16_t unit = reader.U16();
        if (unit == 0)
            break;
        text += static_cast<char16_t>(unit);
    }
    return Utf16ToUtf8(text);
}

}  // namespace

std::optional<ResourceFile> ResourceFile::Parse(const std::uint8_t* data, std::size_t size) {
    ResourceFile file;
    std::size_t at = 0;
    while (at < size) {
        Reader sizes(data, size, at);
        std::uint32_t dataSize = sizes.U32();
        std::uint32_t headerSize = sizes.U32();
        if (!sizes.ok() || headerSize < kResourceHeaderMinimum || headerSize > size - at ||
            dataSize > size - at - headerSize)
            return std::nullopt;
        Reader header(data, at + headerSize, sizes.offset());
        ResourceEntry entry;
        entry.type = header.NameOrOrdinal();
        entry.name = header.NameOrOrdinal();
        header.Align4();
        header.U32();  // data version
        header.U16();  // memory flags
        entry.language = header.U16();
        header.U32();  // version
        header.U32();  // characteristics
        if (!header.ok())
            return std::nullopt;
        std::size_t dataStart = at + headerSize;
        // The file starts with an empty entry that only marks it as a 32-bit resource file.
        if (!(entry.type.Is(0) && dataSize == 0)) {
            entry.data.assign(data + dataStart, data + dataStart + dataSize);
            file.entries_.push_back(std::move(entry));
        }
        std::size_t next = (dataStart + dataSize + 3) & ~static_cast<std::size_t>(3);
        at = next < size ? next : size;
    }
    return file;
}

const ResourceEntry* ResourceFile::Find(std::uint16_t type, std::uint16_t name,
                                        LanguageId language) const {
    for (const ResourceEntry& entry : entries_) {
        if (entry.type.Is(type) && entry.name.Is(name) && entry.language == language)
            return &entry;
    }
    return nullptr;
}

const ResourceEntry* ResourceFile::FindForLanguage(std::uint16_t type, std::uint16_t name,
                                                   LanguageId language) const {
    for (LanguageId candidate : {language, PrimaryLanguage(language), kLanguageNeutral}) {
        if (const ResourceEntry* entry = Find(type, name, candidate))
            return entry;
    }
    const ResourceEntry* english = nullptr;
    const ResourceEntry* first = nullptr;
    for (const ResourceEntry& entry : entries_) {
        if (!entry.type.Is(type) || !entry.name.Is(name))
            continue;
        if (PrimaryLanguage(entry.language) == PrimaryLanguage(language))
            return &entry;
        if (!english && entry.language == kLanguageEnglishUs)
            english = &entry;
        if (!first)
            first = &entry;
    }
    return english ? english : first;
}

std::vector<LanguageId> ResourceFile::Languages(std::uint16_t type, std::uint16_t name) const {
    std::vector<LanguageId> languages;
    for (const ResourceEntry& entry : entries_) {
        if (entry.type.Is(type) && entry.name.Is(name))
            languages.push_back(entry.language);
    }
    return languages;
}

std::optional<std::string> ResourceFile::FindString(int id, LanguageId language) const {
    if (id < 0 || id > 0xFFFF)
        return std::nullopt;
    const ResourceEntry* block =
        FindForLanguage(kRtString, static_cast<std::uint16_t>(id / 16 + 1), language);
    if (!block)
        return std::nullopt;
    std::optional<std::array<std::string, 16>> strings = ParseStringBlock(block->data);
    if (!strings || (*strings)[static_cast<std::size_t>(id % 16)].empty())
        return std::nullopt;
    return (*strings)[static_cast<std::size_t>(id % 16)];
}

std::string DialogItemTemplate::ClassName() const {
    if (!windowClass.IsOrdinal())
        return windowClass.text;
    switch (windowClass.ordinal) {
        case 0x80:
            return "Button";
        case 0x81:
            return "Edit";
        case 0x82:
            return "Static";
        case 0x83:
            return "ListBox";
        case 0x84:
            return "ScrollBar";
        case 0x85:
            return "ComboBox";
        default:
            return "#" + std::to_string(windowClass.ordinal);
    }
}

std::optional<DialogTemplate> ParseDialogTemplate(const std::vector<std::uint8_t>& data) {
    Reader reader(data.data(), data.size());
    DialogTemplate dialog;
    std::size_t count = 0;
    if (data.size() >= 4 && data[0] == 1 && data[1] == 0 && data[2] == 0xFF && data[3] == 0xFF) {
        dialog.extended = true;
        reader.Skip(4);
        dialog.helpId = reader.U32();
        dialog.exStyle = reader.U32();
        dialog.style = reader.U32();
    } else {
        dialog.style = reader.U32();
        dialog.exStyle = reader.U32();
    }
    count = reader.U16();
    dialog.x = reader.I16();
    dialog.y = reader.I16();
    dialog.width = reader.I16();
    dialog.height = reader.I16();
    dialog.menu = reader.NameOrOrdinal();
    dialog.windowClass = reader.NameOrOrdinal();
    dialog.title = reader.Text();
    std::uint32_t fontStyle = dialog.extended ? kDsShellFont : kDsSetFont;
    if ((dialog.style & fontStyle) != 0) {
        dialog.hasFont = true;
        dialog.pointSize = reader.U16();
        if (dialog.extended) {
            dialog.weight = reader.U16();
            dialog.italic = reader.U8() != 0;
            dialog.charSet = reader.U8();
        }
        dialog.typeface = reader.Text();
    }
    for (std::size_t i = 0; i < count && reader.ok(); ++i) {
        DialogItemTemplate item;
        reader.Align4();
        if (dialog.extended) {
            item.helpId = reader.U32();
            item.exStyle = reader.U32();
            item.style = reader.U32();
        } else {
            item.style = reader.U32();
            item.exStyle = reader.U32();
        }
        item.x = reader.I16();
        item.y = reader.I16();
        item.width = reader.I16();
        item.height = reader.I16();
        item.id = dialog.extended ? static_cast<int>(static_cast<std::int32_t>(reader.U32()))
                                  : reader.I16();
        item.windowClass = reader.NameOrOrdinal();
        item.title = reader.NameOrOrdinal();
        std::size_t extra = reader.U16();
        // The classic form counts the size word itself.
        if (!dialog.extended && extra >= 2)
            extra -= 2;
        item.creationData = reader.Bytes(extra);
        dialog.items.push_back(std::move(item));
    }
    if (!reader.ok())
        return std::nullopt;
    return dialog;
}

std::optional<std::array<std::string, 16>> ParseStringBlock(const std::vector<std::uint8_t>& data) {
    Reader reader(data.data(), data.size());
    std::array<std::string, 16> strings;
    for (std::string& text : strings) {
        std::size_t length = reader.U16();
        std::u16string units;
        for (std::size_t k = 0; k < length && reader.ok(); ++k)
            units += static_cast<char16_t>(reader.U16());
        text = Utf16ToUtf8(units);
    }
    if (!reader.ok())
        return std::nullopt;
    return strings;
}

std::optional<std::vector<IconGroupEntry>> ParseIconGroup(const std::vector<std::uint8_t>& data) {
    Reader reader(data.data(), data.size());
    reader.U16();  // reserved
    std::uint16_t type = reader.U16();
    std::size_t count = reader.U16();
    if (!reader.ok() || type != 1)
        return std::nullopt;
    std::vector<IconGroupEntry> entries;
    for (std::size_t i = 0; i < count; ++i) {
        IconGroupEntry entry;
        int width = reader.U8();
        int height = reader.U8();
        entry.width = width == 0 ? 256 : width;
        entry.height = height == 0 ? 256 : height;
        entry.colourCount = reader.U8();
        reader.U8();  // reserved
        entry.planes = reader.U16();
        entry.bitCount = reader.U16();
        entry.bytes = reader.U32();
        entry.iconId = reader.U16();
        entries.push_back(entry);
    }
    if (!reader.ok())
        return std::nullopt;
    return entries;
}

std::optional<VersionRecord> ParseVersionRecord(const std::vector<std::uint8_t>& data) {
    VersionBlock root;
    std::size_t next = 0;
    if (!ReadVersionBlock(data, 0, 0, root, next) || root.key != "VS_VERSION_INFO")
        return std::nullopt;
    Reader fixed(root.value.data(), root.value.size());
    if (fixed.U32() != kFixedFileInfoSignature)
        return std::nullopt;
    VersionRecord record;
    fixed.U32();  // structure version
    record.fileVersionHigh = fixed.U32();
    record.fileVersionLow = fixed.U32();
    record.productVersionHigh = fixed.U32();
    record.productVersionLow = fixed.U32();
    record.fileFlagsMask = fixed.U32();
    record.fileFlags = fixed.U32();
    record.fileOs = fixed.U32();
    record.fileType = fixed.U32();
    if (!fixed.ok())
        return std::nullopt;
    for (const VersionBlock& part : root.children) {
        if (part.key == "StringFileInfo") {
            for (const VersionBlock& table : part.children) {
                VersionRecord::StringTable strings;
                strings.key = table.key;
                for (const VersionBlock& value : table.children)
                    strings.values.emplace_back(value.key, ValueText(value.value));
                record.stringTables.push_back(std::move(strings));
            }
        } else if (part.key == "VarFileInfo") {
            for (const VersionBlock& var : part.children) {
                if (var.key != "Translation")
                    continue;
                Reader pairs(var.value.data(), var.value.size());
                while (pairs.Has(4)) {
                    std::uint16_t language = pairs.U16();
                    record.translations.emplace_back(language, pairs.U16());
                }
            }
        }
    }
    return record;
}

}  // namespace quillet
