// "Update" on both platform paths, through the real main dialog over simulated drives: the
// version question, the start confirmation, the product code, the download with its wait cursor,
// the beep, the completion notice or the failure message, and the progress bar afterwards.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "catalogue/firmware_version.h"
#include "support/download_harness.h"
#include "unit/app_fixture.h"

namespace quillet::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr const char* kEjectDisc = "Eject the disc from the drive.";
constexpr const char* kOpenError = "Firmware file open error !";
constexpr const char* kStopped = "This operation was stopped!!";

TEST(FirmwareVersionTest, ComparesLettersWithoutCaseUpToTheCount) {
    struct Row {
        const char* drive;
        const char* offered;
        size_t count;
        int sign;
    };
    const Row rows[] = {
        {"1.0q", "1.0p", 4, 1},
        {"1.0Q", "1.0q", 4, 0},
        {"1.0p", "1.0Q", 4, -1},
        {"1.0q", "1.0", 3, 0},
        {"1.0q", "1.0", 4, 1},
        {"1.0", "1.0q", 4, -1},
        {"2.0a", "10.0", 0, 0},
        {"", "", 4, 0},
        {"1.0q", "1.0q ", 5, -1},
        // Letters fold to lower case, so "Z" is above "[" although its code is below.
        {"Z", "[", 1, 1},
        {"1.1a", "1.0z", 4, 1},
        {"1.0 ", "1.0q", 4, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.drive) + " vs " + row.offered + " over " +
                     std::to_string(row.count));
        const int result = CompareFirmwareVersions(row.drive, row.offered, row.count);
        EXPECT_EQ((result > 0) - (result < 0), row.sign);
    }
}

class UpdateFixture : public AppTest {
protected:
    // What the main dialog shows, to compare before and after a command: the two lists, their
    // selections, the version, whether "Update" is enabled, and the bar.
    using Shown = std::tuple<std::vector<std::string>, std::vector<std::string>, int, int,
                             std::string, bool, int>;
    Shown Look(HeadlessDialogView& view) {
        return Shown{rig.ListEntries(view, IDC_DRIVE_COMBO),
                     rig.ListEntries(view, IDC_SOURCE_COMBO),
                     rig.Selection(view, IDC_DRIVE_COMBO),
                     rig.Selection(view, IDC_SOURCE_COMBO),
                     view.Text(IDC_CURRENT_VERSION),
                     view.IsEnabled(IDC_UPDATE),
                     static_cast<int>(rig.ui.Send(view.Item(IDC_PROGRESS), kPbmGetPos, 0, 0))};
    }

    // Continues past the caution and presses "Update", keeping what the dialog showed before.
    void PressUpdate(Shown& before) {
        rig.ui.QueueClick(kCaution, kIdCancel);
        rig.ui.QueueCheck(kMain, [&](HeadlessDialogView& view) { before = Look(view); });
        rig.ui.QueueClick(kMain, IDC_UPDATE);
    }
    // After the command: the dialog shows what it showed before, then "Close".
    void ThenUnchanged(const Shown& before) {
        rig.ui.QueueCheck(kMain, [&](HeadlessDialogView& view) { EXPECT_EQ(Look(view), before); });
        rig.ui.QueueClick(kMain, kIdCancel);
    }
};

class UpdateTest : public UpdateFixture, public ::testing::WithParamInterface<Path> {
protected:
    UpdateTest() { Use(GetParam()); }
};

// A successful update sends the drive's image section from the product code on with the wait
// cursor up, beeps, shows the completion notice and empties the bar; the dialog still shows the
// version the drive had before, and nothing stays open.
TEST_P(UpdateTest, SuccessSendsTheImageThenNotifiesAndResetsTheBar) {
    sim::SimulatedDrive& drive = PrepareTagged();
    Shown before;
    PressUpdate(before);
    rig.ui.QueueClick(kStartConfirm, kIdOk);
    rig.ui.QueueCheck(kCompletion, [&](HeadlessDialogView&) {
        EXPECT_EQ(rig.ui.WaitCursorDepth(), 0) << "the wait cursor is gone before the notice";
        EXPECT_THAT(rig.ui.Beeps(), ElementsAre(kBeepDefault));
    });
    rig.ui.QueueClick(kCompletion, kIdOk);
    ThenUnchanged(before);
    RunToEnd();

    EXPECT_THAT(rig.DialogsShown(), ElementsAre(kMain, kCaution, kStartConfirm, kCompletion));
    // Three blocks from the product code on, then the closing command.
    const std::vector<std::string> writes = WriteBuffers(drive);
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(writes[0], WriteBufferLine(kProductCode, 16384, "out"));
    EXPECT_EQ(drive.ReceivedImage(), Padded(Section("MTX5160S", kDriveSection, 2)));
    EXPECT_THAT(rig.messages.Texts(), IsEmpty());
    EXPECT_EQ(rig.ui.WaitCursorShown(), 1);
    EXPECT_FALSE(rig.layer.Loaded());
    EXPECT_EQ(rig.volumes.OpenHandles(), 0u);
    EXPECT_EQ(rig.folder.OpenFiles(), 0u);
    EXPECT_GT(rig.clock.TotalSlept(), 0u) << "the drive was given its programming time";
}

// The old-version question comes only when the drive's version is the greater: over the entry's
// first four characters on pass-through, over the version word's length on ASPI. Cancelling
// either question changes nothing: no beep, no wait cursor, nothing sent to the drive, the
// library not loaded again, the lists and the bar untouched.
struct QuestionRow {
    const char* name;
    Path path;
    const char* drive;
    const char* entry;
    bool asks;
};

class VersionQuestionTest : public UpdateFixture,
                            public ::testing::WithParamInterface<QuestionRow> {};

TEST_P(VersionQuestionTest, AsksOnlyWhenTheDrivesVersionIsNewer) {
    const QuestionRow& row = GetParam();
    Use(row.path);
    sim::SimulatedDrive& drive = PrepareTagged(row.drive, row.entry);
    const int question = row.asks ? kOldVersion : kStartConfirm;
    size_t journalAtStart = 0;
    int loadsAtStart = 0;
    Shown before;
    PressUpdate(before);
    rig.ui.QueueCheck(question, [&](HeadlessDialogView&) {
        journalAtStart = drive.Journal().size();
        loadsAtStart = rig.layer.LoadCount();
    });
    if (row.asks)
        rig.ui.QueueClick(kOldVersion, kIdCancel);
    else
        rig.ui.QueueEscape(kStartConfirm);
    ThenUnchanged(before);
    RunToEnd();
    EXPECT_THAT(rig.DialogsShown(), ElementsAre(kMain, kCaution, question));
    EXPECT_THAT(rig.ui.Beeps(), IsEmpty());
    EXPECT_EQ(rig.ui.WaitCursorShown(), 0);
    EXPECT_EQ(drive.Journal().size(), journalAtStart) << "nothing sent to the drive";
    EXPECT_EQ(rig.layer.LoadCount(), loadsAtStart);
    EXPECT_THAT(rig.folder.OpenedPaths(), IsEmpty());
    EXPECT_THAT(rig.messages.Texts(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, VersionQuestionTest,
    ::testing::Values(
        // The comparison itself is FirmwareVersionTest's; these rows show each path asks, or
        // goes on to the start confirmation, whichever way the comparison falls.
        QuestionRow{"Aspi 1.0q over 1.0p", Path::Aspi, "1.0q", "1.0p FW.BIN", true},
        QuestionRow{"PassThrough 1.0p under 1.0q", Path::PassThrough, "1.0p", "1.0q FW.BIN", false},
        // The blank after a three-character version counts on pass-through only.
        QuestionRow{"Aspi three character version", Path::Aspi, "1.0q", "1.0 FW.BIN", false},
        QuestionRow{"PassThrough three character version", Path::PassThrough, "1.0q", "1.0 FW.BIN",
                    true}),
    RowName<QuestionRow>);

INSTANTIATE_TEST_SUITE_P(Paths, UpdateTest, ::testing::Values(Path::Aspi, Path::PassThrough),
                         PathName);

// A command that fails or ends early writes nothing, shows no notice and leaves the dialog as it
// was. A failed download (a disc in the drive, the image gone when the start is confirmed) has
// shown its own message and beeps; the NT family adds "This operation was stopped!!" under "Error"
// with a stop icon, owned by the main dialog. Without a product code (the drive's device has no
// PRODUCT_ID) or, over ASPI, without the library's entry points, the command ends before the
// download: nothing reaches the drive, nothing beeps, and over ASPI the strict reader or the load
// has said why.
enum class Trouble { Disc, ImageGone, NoProductCode, NoLibrary };

struct TroubleRow {
    const char* name;
    Path path;
    Trouble trouble;
    std::vector<std::string> messages;
};

class TroubleTest : public UpdateFixture, public ::testing::WithParamInterface<TroubleRow> {};

TEST_P(TroubleTest, NothingIsWrittenAndNoNoticeFollows) {
    const TroubleRow& row = GetParam();
    Use(row.path);
    sim::SimulatedDrive& drive =
        PrepareTagged("1.0q", "1.1a FW.BIN", row.trouble != Trouble::NoProductCode);
    drive.SetDiscPresent(row.trouble == Trouble::Disc);
    const bool downloads = row.trouble == Trouble::Disc || row.trouble == Trouble::ImageGone;
    size_t journalAtStart = 0;
    WindowHandle mainWindow = 0;
    Shown before;
    PressUpdate(before);
    rig.ui.QueueCheck(kStartConfirm, [&](HeadlessDialogView&) {
        journalAtStart = drive.Journal().size();
        mainWindow = rig.dialog->Handle();
        rig.layer.SetPresent(row.trouble != Trouble::NoLibrary);
        if (row.trouble == Trouble::ImageGone)
            rig.folder.Remove(kTaggedImage);
    });
    rig.ui.QueueClick(kStartConfirm, kIdOk);
    ThenUnchanged(before);
    RunToEnd();

    EXPECT_THAT(rig.messages.Texts(), ElementsAreArray(row.messages));
    if (downloads && !Aspi() && !rig.messages.Boxes().empty()) {
        const RecordedMessageBox::Shown& last = rig.messages.Boxes().back();
        EXPECT_EQ(last.caption, "Error");
        EXPECT_EQ(last.icon, MessageIcon::Stop);
        EXPECT_EQ(last.owner, mainWindow);
    }
    EXPECT_THAT(rig.DialogsShown(), ElementsAre(kMain, kCaution, kStartConfirm)) << "no notice";
    EXPECT_EQ(rig.ui.Beeps(),
              downloads ? std::vector<unsigned>{kBeepDefault} : std::vector<unsigned>{});
    EXPECT_EQ(rig.ui.WaitCursorShown(), downloads ? 1 : 0);
    EXPECT_EQ(rig.ui.WaitCursorDepth(), 0);
    EXPECT_THAT(WriteBuffers(drive), IsEmpty());
    if (!downloads) {
        EXPECT_EQ(drive.Journal().size(), journalAtStart) << "nothing sent to the drive";
        EXPECT_THAT(rig.folder.OpenedPaths(), IsEmpty());
    }
    EXPECT_FALSE(rig.layer.Loaded());
    EXPECT_EQ(rig.layer.CallsWhileUnloaded(), 0);
    EXPECT_EQ(rig.volumes.OpenHandles(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TroubleTest,
    ::testing::Values(
        TroubleRow{"Aspi disc", Path::Aspi, Trouble::Disc, {kEjectDisc}},
        TroubleRow{"PassThrough disc", Path::PassThrough, Trouble::Disc, {kEjectDisc, kStopped}},
        TroubleRow{"Aspi image gone", Path::Aspi, Trouble::ImageGone, {kOpenError}},
        TroubleRow{"PassThrough image gone",
                   Path::PassThrough,
                   Trouble::ImageGone,
                   {kOpenError, kStopped}},
        TroubleRow{"Aspi no product code",
                   Path::Aspi,
                   Trouble::NoProductCode,
                   {MissingKeyText("DEVICE0:PRODUCT_ID")}},
        TroubleRow{"PassThrough no product code", Path::PassThrough, Trouble::NoProductCode, {}},
        TroubleRow{"Aspi library that will not load",
                   Path::Aspi,
                   Trouble::NoLibrary,
                   {"ASPI load error !"}}),
    RowName<TroubleRow>);

// The image opened: on pass-through the entry from its sixth character on, whatever the entry's
// words are, relative to the current directory; on ASPI the firmware folder and the file-name
// word with exactly one backslash between them, also at the root of a drive.
struct ImagePathRow {
    const char* name;
    Path path;
    const char* directory;
    const char* entry;
    const char* opened;
    bool succeeds;
};

class ImagePathTest : public UpdateFixture, public ::testing::WithParamInterface<ImagePathRow> {};

TEST_P(ImagePathTest, OpensTheImageThePathNames) {
    const ImagePathRow& row = GetParam();
    rig.folder = MemoryFolder(row.directory);
    Use(row.path);
    sim::SimulatedDrive& drive = PrepareTagged("1.0a", row.entry);
    Shown before;
    PressUpdate(before);
    rig.ui.QueueClick(kStartConfirm, kIdOk);
    if (row.succeeds)
        rig.ui.QueueClick(kCompletion, kIdOk);
    ThenUnchanged(before);
    RunToEnd();
    EXPECT_THAT(rig.folder.OpenedPaths(), ElementsAre(row.opened));
    EXPECT_EQ(drive.ImageComplete(), row.succeeds);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ImagePathTest,
    ::testing::Values(ImagePathRow{"PassThrough four character version", Path::PassThrough,
                                   "C:\\QUILLET", "1.1a FW.BIN", "FW.BIN", true},
                      ImagePathRow{"PassThrough any separator", Path::PassThrough, "C:\\QUILLET",
                                   "1.1a_FW.BIN", "FW.BIN", true},
                      ImagePathRow{"PassThrough three character version", Path::PassThrough,
                                   "C:\\QUILLET", "1.1 FW.BIN", "W.BIN", false},
                      ImagePathRow{"PassThrough two blanks", Path::PassThrough, "C:\\QUILLET",
                                   "1.1a  FW.BIN", " FW.BIN", false},
                      ImagePathRow{"Aspi folder", Path::Aspi, "C:\\QUILLET", "1.1a FW.BIN",
                                   "C:\\QUILLET\\FW.BIN", true},
                      ImagePathRow{"Aspi root of a drive", Path::Aspi, "C:\\", "1.1a FW.BIN",
                                   "C:\\FW.BIN", true}),
    RowName<ImagePathRow>);

}  // namespace
}  // namespace quillet::test
