// One update at a time: the dialogs the main dialog opens are owned by it and open centred over
// it, the main dialog takes no input while one of its handlers runs, and during the update's
// waits the window is served (it repaints and answers) while it refuses to close.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "support/download_harness.h"
#include "ui/serving_clock.h"
#include "unit/app_fixture.h"

namespace quillet::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

class OneUpdateTest : public AppPathTest {
protected:
    // The drive to update (drive 0) and a second drive of the maker beside it.
    sim::SimulatedDrive& Prepare(const std::string& revision = "1.0q") {
        sim::SimulatedDrive& drive = PrepareTagged(revision);
        AddDrive(1, TaggedDrive("1.0q"));
        return drive;
    }
    // `dialog` lies centred over `owner` (to within the pixel the halving loses).
    static void ExpectCentredOver(const WindowRect& owner, const WindowRect& dialog) {
        EXPECT_NEAR(dialog.x + dialog.width / 2, owner.x + owner.width / 2, 1);
        EXPECT_NEAR(dialog.y + dialog.height / 2, owner.y + owner.height / 2, 1);
    }
    const DialogRecord& Shown(int templateId) {
        for (const DialogRecord& record : rig.ui.Dialogs()) {
            if (record.templateId == templateId)
                return record;
        }
        throw std::logic_error("dialog not shown");
    }
};

// With any dialog it opens up (the about box, the old-version question, the start confirmation,
// the completion notice) "Update", another drive, "Close" and the close box of the main dialog are
// refused; each is owned by the main dialog and centred over it, and the one update runs once.
TEST_P(OneUpdateTest, OwnedDialogsKeepTheMainDialogFromTakingInput) {
    sim::SimulatedDrive& drive = Prepare("1.2a");
    WindowRect main;
    rig.ui.QueueClick(kCaution, kIdCancel);
    // Away from the screen's centre, so that centred over it differs from centred on the screen.
    rig.ui.QueueCheck(kMain, [&](HeadlessDialogView& view) {
        ExpectCentredOver(
            {0, 0, HeadlessUserInterface::kScreenWidth, HeadlessUserInterface::kScreenHeight},
            view.Bounds());
        view.MoveTo(40, 30);
        main = view.Bounds();
        rig.ui.Post(view.Handle(), kWmSysCommand, IDM_ABOUTBOX, 0);
    });
    const int owned[] = {kAbout, kOldVersion, kStartConfirm, kCompletion};
    for (int dialog : owned) {
        rig.ui.QueueClick(kMain, IDC_UPDATE);
        rig.ui.ExpectRefused();
        rig.ui.QueueSelect(kMain, IDC_DRIVE_COMBO, 1);
        rig.ui.ExpectRefused();
        rig.ui.QueueClick(kMain, kIdCancel);
        rig.ui.ExpectRefused();
        rig.ui.QueueCloseBox(kMain);
        rig.ui.ExpectRefused();
        rig.ui.QueueClick(dialog, kIdOk);
        if (dialog == kAbout)
            rig.ui.QueueClick(kMain, IDC_UPDATE);
    }
    rig.ui.QueueCheck(kMain, [&](HeadlessDialogView& view) {
        EXPECT_TRUE(view.IsDialogEnabled());
        EXPECT_EQ(rig.Selection(view, IDC_DRIVE_COMBO), 0);
    });
    rig.ui.QueueClick(kMain, kIdCancel);
    RunToEnd();

    EXPECT_THAT(rig.ui.Refused(), SizeIs(16));
    EXPECT_THAT(rig.DialogsShown(),
                ElementsAre(kMain, kCaution, kAbout, kOldVersion, kStartConfirm, kCompletion));
    EXPECT_EQ(WriteBuffers(drive).size(), 4u) << "three blocks and the closing command, once";
    EXPECT_TRUE(WriteBuffers(*rig.drives[1]).empty());
    for (int dialog : owned) {
        SCOPED_TRACE(dialog);
        EXPECT_EQ(Shown(dialog).ownerTemplateId, kMain);
        ExpectCentredOver(main, Shown(dialog).openedAt);
    }
    EXPECT_EQ(Shown(kCaution).ownerTemplateId, 0) << "shown before the main window is";
}

// Through every wait of the update the window is served at least every kServeIntervalMs of the
// clock: it stays disabled, its bar moves, and close requests and the end of the session are
// answered "no". The update then completes.
TEST_P(OneUpdateTest, TheWindowIsServedThroughTheWaitsAndRefusesToClose) {
    sim::SimulatedDrive& drive = Prepare();
    std::vector<uint64_t> times;
    std::vector<int> positions;
    int enabled = 0;
    int endSessionAllowed = 0;
    rig.ui.SetOnServe([&] {
        const WindowHandle main = rig.dialog->Handle();
        times.push_back(rig.clock.Now());
        positions.push_back(
            static_cast<int>(rig.ui.Send(rig.ui.GetDlgItem(main, 1001), kPbmGetPos, 0, 0)));
        enabled += rig.ui.IsWindowEnabled(main) ? 1 : 0;
        rig.ui.Send(main, kWmSysCommand, kScClose, 0);
        rig.ui.Send(main, kWmClose, 0, 0);
        endSessionAllowed += rig.ui.Send(main, kWmQueryEndSession, 0, 0) != 0 ? 1 : 0;
    });
    rig.ui.QueueClick(kCaution, kIdCancel);
    rig.ui.QueueClick(kMain, IDC_UPDATE);
    rig.ui.QueueClick(kStartConfirm, kIdOk);
    rig.ui.QueueClick(kCompletion, kIdOk);
    rig.ui.QueueClick(kMain, kIdCancel);
    RunToEnd();

    ASSERT_THAT(times, SizeIs(::testing::Gt(100u)));
    uint64_t longestGap = 0;
    for (size_t i = 1; i < times.size(); ++i)
        longestGap = std::max(longestGap, times[i] - times[i - 1]);
    EXPECT_LE(longestGap, ServingClock::kServeIntervalMs);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_GT(positions.back(), positions.front()) << "the bar advanced during the waits";
    EXPECT_EQ(enabled, 0);
    EXPECT_EQ(endSessionAllowed, 0);
    EXPECT_THAT(rig.DialogsShown(), ElementsAre(kMain, kCaution, kStartConfirm, kCompletion));
    EXPECT_EQ(WriteBuffers(drive).size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(Paths, OneUpdateTest, ::testing::Values(Path::Aspi, Path::PassThrough),
                         PathName);

// A wait is cut into serving slices only while a window is held, and keeps its length.
TEST(ServingClockTest, SlicesAWaitOnlyWhileAWindowIsHeld) {
    RecordedMessageBox boxes;
    HeadlessUserInterface ui(kEnglishUs, boxes);
    VirtualClock clock;
    ServingClock serving(clock, ui);
    int served = 0;
    ui.SetOnServe([&] { ++served; });

    serving.Sleep(1250);
    EXPECT_THAT(clock.Sleeps(), ElementsAre(1250u));
    EXPECT_EQ(served, 0);

    ui.HoldInput(1);
    serving.Sleep(1250);
    ui.ReleaseInput(1);
    EXPECT_EQ(clock.TotalSlept(), 2500u);
    EXPECT_THAT(clock.Sleeps(), SizeIs(1 + 13));
    EXPECT_EQ(served, 14) << "before the first slice and after each";
}

}  // namespace
}  // namespace quillet::test
