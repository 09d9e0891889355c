// The program's English texts, read from the resources the Windows program carries, so the
// terminal shows the very words of its dialogs and strings.
#pragma once

#include <string>

#include "update/progress_control.h"

namespace quillet {

class EnglishTexts : public StringSource {
public:
    std::string LoadStringResource(int id) override;
    // The text of control `controlId` in dialog template `dialogId`; empty when there is none.
    std::string DialogText(int dialogId, int controlId);
    // The product version of the version record, "3.0.0.6"; empty when there is none.
    std::string ProductVersion();
};

}  // namespace quillet
