// The Windows program's texts, read from the resources it carries in the user's language and
// given in the terminal's character set, so the terminal shows the very words of its dialogs and
// strings.
#pragma once

#include <string>

#include "ui/resource_data.h"
#include "update/progress_control.h"

namespace quillet {

class ResourceTexts : public StringSource {
public:
    explicit ResourceTexts(LanguageId language = kLanguageEnglishUs) : language_(language) {}

    std::string LoadStringResource(int id) override;
    // The text of control `controlId` in dialog template `dialogId`; empty when there is none.
    std::string DialogText(int dialogId, int controlId);
    // The product version of the version record, "3.0.0.6"; empty when there is none.
    std::string ProductVersion();

private:
    LanguageId language_;
};

}  // namespace quillet
