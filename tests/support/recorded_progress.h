// A progress bar double with the control's own rules (position kept inside the 16-bit range, a
// step past the upper limit starting again from the lower one; the platform's defaults 0..100,
// step 10) that records every message it gets.
#pragma once

#include <string>
#include <vector>

#include "update/progress_control.h"

namespace quillet::test {

class RecordedProgress : public ProgressControl {
public:
    struct Message {
        std::string name;  // "SETRANGE", "SETPOS", "SETSTEP", "STEPIT", "GETPOS"
        int first = 0;     // SETRANGE lower, SETPOS position, SETSTEP step
        int second = 0;    // SETRANGE upper
    };

    void SetRange(uint16_t lower, uint16_t upper) override {
        messages_.push_back({"SETRANGE", lower, upper});
        lower_ = lower;
        upper_ = upper;
        position_ = Clamp(position_);
    }
    void SetPos(int position) override {
        messages_.push_back({"SETPOS", position, 0});
        position_ = Clamp(position);
    }
    void SetStep(int step) override {
        messages_.push_back({"SETSTEP", step, 0});
        step_ = step;
    }
    void StepIt() override {
        messages_.push_back({"STEPIT", 0, 0});
        const int span = upper_ - lower_;
        if (span == 0)
            return;
        position_ += step_;
        if (position_ > upper_)
            position_ = (position_ - lower_) % span + lower_;
    }
    int GetPos() override {
        messages_.push_back({"GETPOS", 0, 0});
        return position_;
    }

    int Position() const { return position_; }
    const std::vector<Message>& Messages() const { return messages_; }
    // The positions sent with SETPOS, in order.
    std::vector<int> PositionsSet() const {
        std::vector<int> positions;
        for (const Message& message : messages_) {
            if (message.name == "SETPOS")
                positions.push_back(message.first);
        }
        return positions;
    }
    int Count(const std::string& name) const {
        int count = 0;
        for (const Message& message : messages_)
            count += message.name == name ? 1 : 0;
        return count;
    }

private:
    int Clamp(int position) const {
        if (position < lower_)
            return lower_;
        return position > upper_ ? upper_ : position;
    }

    int lower_ = 0;
    int upper_ = 100;
    int position_ = 0;
    int step_ = 10;
    std::vector<Message> messages_;
};

}  // namespace quillet::test
