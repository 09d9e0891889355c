// What the download needs from the main dialog: its progress bar, driven with the progress-bar
// messages, and its string resources in the user's language. The application joins both to the
// dialog framework; the download never sees a window.
#pragma once

#include <cstdint>
#include <string>

namespace quillet {

// One method per progress-bar message. The bar keeps its position inside its range; a step past
// the upper limit starts again from the lower one.
class ProgressControl {
public:
    virtual ~ProgressControl() = default;

    // PBM_SETRANGE: 16-bit limits.
    virtual void SetRange(uint16_t lower, uint16_t upper) = 0;
    // PBM_SETPOS
    virtual void SetPos(int position) = 0;
    // PBM_SETSTEP
    virtual void SetStep(int step) = 0;
    // PBM_STEPIT
    virtual void StepIt() = 0;
    // PBM_GETPOS
    virtual int GetPos() = 0;
};

// String resources by id, in the language the platform picks.
class StringSource {
public:
    virtual ~StringSource() = default;

    // Empty when there is no such string.
    virtual std::string LoadStringResource(int id) = 0;
};

}  // namespace quillet
