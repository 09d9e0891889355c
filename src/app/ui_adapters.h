// What the download needs of the main dialog, joined to the dialog framework: the progress bar
// control and the string resources in the user's language.
#pragma once

#include <cstdint>
#include <string>

#include "ui/controls.h"
#include "ui/user_interface.h"
#include "update/progress_control.h"

namespace quillet {

// The progress-bar messages of the download, sent to a bound progress bar control.
class ProgressBarControl : public ProgressControl {
public:
    explicit ProgressBarControl(ProgressBar& bar) : bar_(bar) {}

    void SetRange(uint16_t lower, uint16_t upper) override { bar_.SetRange(lower, upper); }
    void SetPos(int position) override { bar_.SetPos(position); }
    void SetStep(int step) override { bar_.SetStep(step); }
    void StepIt() override { bar_.StepIt(); }
    int GetPos() override { return bar_.GetPos(); }

private:
    ProgressBar& bar_;
};

// String resources through the user interface, which picks the user's language.
class ResourceStrings : public StringSource {
public:
    explicit ResourceStrings(UserInterface& ui) : ui_(ui) {}

    std::string LoadStringResource(int id) override { return ui_.LoadStringResource(id); }

private:
    UserInterface& ui_;
};

}  // namespace quillet
