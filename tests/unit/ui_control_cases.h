// What the drop-down list and the progress bar answer to a sequence of messages, sent through the
// framework's wrappers. The same steps run against the headless controls and, in the Windows
// build, against the platform's own controls, so that the headless ones keep the platform's
// behaviour.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/messages.h"

namespace quillet {
namespace test {

// `list` is an empty drop-down list without sorting.
inline void CheckComboBoxSemantics(UserInterface& ui, WindowHandle list) {
    ComboBox combo;
    combo.Attach(ui, list);
    enum class Op { Add, Insert, Delete, Select, Reset };
    struct Step {
        const char* name;
        Op op;
        int index;
        std::string text;
        int result;
        std::vector<std::string> entries;
        int selection;
    };
    // "\xC4nd" starts with a non-ASCII byte that is one character in both code pages 1252 and 932.
    const Step steps[] = {
        {"add to an empty list", Op::Add, 0, "al", 0, {"al"}, -1},
        {"add appends", Op::Add, 0, "\xC4nd", 1, {"al", "\xC4nd"}, -1},
        {"insert at -1 appends", Op::Insert, -1, "ga", 2, {"al", "\xC4nd", "ga"}, -1},
        {"insert at the front", Op::Insert, 0, "ze", 0, {"ze", "al", "\xC4nd", "ga"}, -1},
        {"insert past the end fails", Op::Insert, 9, "x", kCbErr, {"ze", "al", "\xC4nd", "ga"}, -1},
        {"select", Op::Select, 2, "", 2, {"ze", "al", "\xC4nd", "ga"}, 2},
        {"insert before selection", Op::Insert, 0, "fi", 0, {"fi", "ze", "al", "\xC4nd", "ga"}, 3},
        {"delete before selection", Op::Delete, 0, "", 4, {"ze", "al", "\xC4nd", "ga"}, 2},
        {"delete after selection", Op::Delete, 3, "", 3, {"ze", "al", "\xC4nd"}, 2},
        {"delete the selected entry", Op::Delete, 2, "", 2, {"ze", "al"}, -1},
        {"delete a missing entry fails", Op::Delete, 5, "", kCbErr, {"ze", "al"}, -1},
        {"select again", Op::Select, 1, "", 1, {"ze", "al"}, 1},
        {"select past the end changes nothing", Op::Select, 2, "", kCbErr, {"ze", "al"}, 1},
        {"select once more", Op::Select, 0, "", 0, {"ze", "al"}, 0},
        {"select -1 clears", Op::Select, -1, "", kCbErr, {"ze", "al"}, -1},
        {"add keeps no selection", Op::Add, 0, "om", 2, {"ze", "al", "om"}, -1},
        {"select the last", Op::Select, 2, "", 2, {"ze", "al", "om"}, 2},
        {"reset empties", Op::Reset, 0, "", kCbOkay, {}, -1},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        int result = 0;
        switch (step.op) {
            case Op::Add:
                result = combo.AddString(step.text);
                break;
            case Op::Insert:
                result = combo.InsertString(step.index, step.text);
                break;
            case Op::Delete:
                result = combo.DeleteString(step.index);
                break;
            case Op::Select:
                result = combo.SetCurSel(step.index);
                break;
            case Op::Reset:
                combo.ResetContent();
                result = kCbOkay;
                break;
        }
        EXPECT_EQ(result, step.result);
        ASSERT_EQ(combo.GetCount(), static_cast<int>(step.entries.size()));
        for (std::size_t i = 0; i < step.entries.size(); ++i) {
            int index = static_cast<int>(i);
            EXPECT_EQ(combo.GetLBText(index), step.entries[i]) << "entry " << i;
            // Lengths count the bytes of the user's code page.
            EXPECT_EQ(combo.GetLBTextLen(index), static_cast<int>(step.entries[i].size()));
        }
        EXPECT_EQ(combo.GetCurSel(), step.selection);
        // A drop-down list's own text is its selected entry.
        EXPECT_EQ(combo.GetText(), step.selection < 0 ? "" : step.entries[step.selection]);
        int past = static_cast<int>(step.entries.size());
        EXPECT_EQ(combo.GetLBTextLen(past), kCbErr);
        EXPECT_EQ(combo.GetLBText(past), "");
    }
}

// `bar` is a new progress bar (range 0 to 100, position 0, step 10).
inline void CheckProgressBarSemantics(UserInterface& ui, WindowHandle bar) {
    ProgressBar progress;
    progress.Attach(ui, bar);
    EXPECT_EQ(progress.GetRangeLimit(true), 0);
    EXPECT_EQ(progress.GetRangeLimit(false), 100);
    EXPECT_EQ(progress.GetPos(), 0);
    enum class Op { Range, Position, Delta, Step, StepIt };
    struct Step {
        const char* name;
        Op op;
        int first;
        int second;
        MessageResult result;
        int lower, upper, position;
    };
    const Step steps[] = {
        {"range returns the previous limits", Op::Range, 0, 200, MakeLParam(0, 100), 0, 200, 0},
        {"position returns the previous one", Op::Position, 50, 0, 0, 0, 200, 50},
        {"position above the range is clamped", Op::Position, 500, 0, 50, 0, 200, 200},
        {"position below the range is clamped", Op::Position, -5, 0, 200, 0, 200, 0},
        {"step returns the previous step", Op::Step, 30, 0, 10, 0, 200, 0},
        {"position near the end", Op::Position, 180, 0, 0, 0, 200, 180},
        {"a step past the end starts again from the start", Op::StepIt, 0, 0, 180, 0, 200, 10},
        {"delta moves by its amount", Op::Delta, 25, 0, 10, 0, 200, 35},
        {"a narrower range clamps the position", Op::Range, 10, 20, MakeLParam(0, 200), 10, 20, 20},
        {"limits have 16 bits", Op::Range, 0, 65535, MakeLParam(10, 20), 0, 65535, 20},
        {"an empty range", Op::Range, 5, 5, MakeLParam(0, 65535), 5, 5, 5},
        {"no step in an empty range", Op::StepIt, 0, 0, 5, 5, 5, 5},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        MessageResult result = 0;
        switch (step.op) {
            case Op::Range:
                result = progress.SetRange(static_cast<unsigned short>(step.first),
                                           static_cast<unsigned short>(step.second));
                break;
            case Op::Position:
                result = progress.SetPos(step.first);
                break;
            case Op::Delta:
                result = progress.DeltaPos(step.first);
                break;
            case Op::Step:
                result = progress.SetStep(step.first);
                break;
            case Op::StepIt:
                result = progress.StepIt();
                break;
        }
        EXPECT_EQ(result, step.result);
        EXPECT_EQ(progress.GetRangeLimit(true), step.lower);
        EXPECT_EQ(progress.GetRangeLimit(false), step.upper);
        EXPECT_EQ(progress.GetPos(), step.position);
    }
}

}  // namespace test
}  // namespace quillet
