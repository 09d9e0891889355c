// The program's start on both platform paths, through the real main dialog over simulated
// services: the caution, the drive lists and their default, what a start without drives or
// without a catalogue shows, the system menu, the icons, and how the program ends.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/firmware_update_app.h"
#include "unit/app_fixture.h"

namespace quillet::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr const char* kImage = "MTX5160.BIN";
constexpr const char* kOtherImage = "CDRW.BIN";

// The folder most tests start from: two images and a catalogue for the MTX5160 family (first
// image) and the CDRW-8432.
void TypicalFolder(MemoryFolder& folder) {
    folder.Add(kImage, "image");
    folder.Add(kOtherImage, "image");
    folder.Add("tarvex.ini", Catalogue({{{"MTX5160E", "MTX5160S"}, {"1.1a MTX5160.BIN"}},
                                        {{"CDRW-8432"}, {"2.0a CDRW.BIN"}}}));
}

using StartTest = AppTest;
using StartPathTest = AppPathTest;

// The default drive over ASPI is the first one that a product of the first image's device
// matches (letters in either case, as a prefix), else the first drive.
struct DefaultDriveRow {
    const char* name;
    std::vector<std::string> products;  // of the first image's device
    std::vector<std::string> drives;
    int expected;
};

class DefaultDriveTest : public AppTest, public ::testing::WithParamInterface<DefaultDriveRow> {};

TEST_P(DefaultDriveTest, AspiSelectsTheFirstDriveThatTheFirstImagesDeviceNames) {
    const DefaultDriveRow& row = GetParam();
    Use(Path::Aspi);
    rig.folder.Add(kImage, "image");
    rig.folder.Add(kOtherImage, "image");
    rig.folder.Add("tarvex.ini", Catalogue({{row.products, {"1.1a MTX5160.BIN"}},
                                            {{"CDRW"}, {"2.0a CDRW.BIN"}}}));
    for (size_t i = 0; i < row.drives.size(); ++i)
        AddDrive(static_cast<int>(i), MakerDrive(row.drives[i], "1.0" + std::to_string(i)));
    const bool imageDevice = row.drives[row.expected].rfind("MTX", 0) == 0;
    ContinueThen([&](HeadlessDialogView& view) {
        EXPECT_EQ(rig.Selection(view, IDC_DRIVE_COMBO), row.expected);
        EXPECT_EQ(view.Text(IDC_CURRENT_VERSION), "1.0" + std::to_string(row.expected));
        EXPECT_THAT(rig.ListEntries(view, IDC_SOURCE_COMBO),
                    ElementsAre(imageDevice ? "1.1a MTX5160.BIN" : "2.0a CDRW.BIN"));
        EXPECT_FALSE(rig.layer.Loaded()) << "the library is released after the search";
    });
    RunToEnd();
    EXPECT_THAT(rig.DialogsShown(), ElementsAre(kMain, kCaution));
    EXPECT_THAT(rig.messages.Texts(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DefaultDriveTest,
    ::testing::Values(
        DefaultDriveRow{
            "second drive matches", {"MTX5160E", "MTX5160S"}, {"CDRW-8432", "MTX5160S"}, 1},
        DefaultDriveRow{"both match", {"MTX5160E", "MTX5160S"}, {"MTX5160S", "MTX5160E"}, 0},
        DefaultDriveRow{"lower case prefix matches", {"mtx51"}, {"CDRW-8432", "MTX5160E"}, 1},
        DefaultDriveRow{"none matches", {"MTX5160E"}, {"CDRW-8432", "CDRW-1216"}, 0}),
    RowName<DefaultDriveRow>);

// Without drives the NT family still shows the caution, then no message; "Update" stays enabled
// and does nothing at all. (A drive the catalogues offer nothing for is a row of the source
// lists' table.)
TEST_F(StartTest, PassThroughWithoutDrivesShowsNoMessageAndUpdateDoesNothing) {
    TypicalFolder(rig.folder);
    rig.ui.QueueClick(kCaution, kIdCancel);
    rig.ui.QueueCheck(kMain, [&](HeadlessDialogView& view) {
        EXPECT_THAT(rig.ListEntries(view, IDC_DRIVE_COMBO), IsEmpty());
        EXPECT_THAT(rig.ListEntries(view, IDC_SOURCE_COMBO), IsEmpty());
        EXPECT_EQ(view.Text(IDC_CURRENT_VERSION), kTemplateVersion);
        EXPECT_TRUE(view.IsEnabled(IDC_UPDATE));
    });
    rig.ui.QueueClick(kMain, IDC_UPDATE);
    rig.ui.QueueClick(kMain, kIdCancel);
    RunToEnd();
    EXPECT_THAT(rig.DialogsShown(), ElementsAre(kMain, kCaution));
    EXPECT_THAT(rig.messages.Texts(), IsEmpty());
    EXPECT_THAT(rig.ui.Beeps(), IsEmpty());
    EXPECT_EQ(rig.ui.WaitCursorShown(), 0);
}

// A Windows 9x start that stops before the caution, after its messages: empty lists, the
// template's version, the library released. A search that finds nothing (also when the library
// cannot be loaded, which says why first) disables "Update". A catalogue that cannot be loaded
// ends the start before any search, the drive list's own search having warned under the
// platform's default title, and leaves "Update" enabled but doing nothing at all.
TEST_F(StartTest, AspiStartThatStopsShowsNoCaution) {
    using Box = std::pair<std::string, std::string>;  // caption, text
    struct Row {
        const char* name;
        std::vector<std::pair<std::string, std::string>> files;  // none: the typical folder
        bool libraryPresent;
        const char* vendor;  // of the one drive on the bus, if any
        std::vector<Box> messages;
    };
    const std::string untitled = MessageBoxService::kUntitledCaption;
    const Box notFound = {kAppTitle, "Not found target device !"};
    const std::string catalogue = Catalogue({{{"MTX5160E"}, {"1.1a MTX5160.BIN"}}});
    const Row rows[] = {
        {"empty bus", {}, true, nullptr, {notFound}},
        {"no library", {}, false, nullptr, {{kAppTitle, "ASPI load error !"}, notFound}},
        {"no image",
         {{"tarvex.ini", catalogue}},
         true,
         "KORVIN",
         {{untitled, kFirmwareNotFound}, {kAppTitle, kFirmwareNotFound}}},
        {"no configuration file",
         {{kImage, "image"}},
         true,
         "KORVIN",
         {{untitled, kConfigNotFound}, {kAppTitle, kConfigNotFound}}},
        {"no device count",
         {{kImage, "image"}, {"tarvex.ini", "[MAIN]\r\n"}},
         true,
         "KORVIN",
         {{kAppTitle, MissingKeyText("DEVICE_NUM")}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AppRig local;
        local.platform.Set(kPlatformWindows9x);
        if (row.files.empty())
            TypicalFolder(local.folder);
        for (const auto& file : row.files)
            local.folder.Add(file.first, file.second);
        local.layer.SetPresent(row.libraryPresent);
        if (row.vendor != nullptr) {
            sim::DriveModel model = MakerDrive("MTX5160E");
            model.vendor = row.vendor;
            local.AddAspiDrive(1, model);
        }
        // The catalogue's failures are the rows with files of their own.
        const bool catalogueFailed = !row.files.empty();
        local.ui.QueueCheck(kMain, [&](HeadlessDialogView& view) {
            EXPECT_EQ(view.IsEnabled(IDC_UPDATE), catalogueFailed);
            EXPECT_THAT(local.ListEntries(view, IDC_DRIVE_COMBO), IsEmpty());
            EXPECT_THAT(local.ListEntries(view, IDC_SOURCE_COMBO), IsEmpty());
            EXPECT_EQ(view.Text(IDC_CURRENT_VERSION), kTemplateVersion);
            EXPECT_FALSE(local.layer.Loaded());
        });
        if (catalogueFailed)
            local.ui.QueueClick(kMain, IDC_UPDATE);
        local.ui.QueueClick(kMain, kIdCancel);
        EXPECT_EQ(local.Run(), kIdCancel);
        EXPECT_THAT(local.ui.Errors(), IsEmpty());
        EXPECT_THAT(local.DialogsShown(), ElementsAre(kMain)) << "no caution, no question";
        EXPECT_THAT(local.ui.Beeps(), IsEmpty());
        EXPECT_EQ(local.ui.WaitCursorShown(), 0);
        std::vector<Box> shown;
        for (const RecordedMessageBox::Shown& box : local.messages.Boxes())
            shown.emplace_back(box.caption, box.text);
        EXPECT_THAT(shown, ElementsAreArray(row.messages));
        EXPECT_EQ(local.messages.Boxes().back().icon, MessageIcon::Exclamation);
        if (catalogueFailed) {
            EXPECT_EQ(local.layer.LoadCount(), 0) << "no search over ASPI";
        }
    }
}

// "Exit" in the caution ends the program although the main dialog was never used; "continue"
// (and so the Esc key and the close box, which give the same result) goes on, as in every other
// test.
TEST_P(StartPathTest, ExitInTheCautionEndsTheProgram) {
    TypicalFolder(rig.folder);
    AddDrive(0, MakerDrive("MTX5160E"));
    rig.ui.QueueClick(kCaution, kIdOk);
    rig.ui.QueueClick(kMain, IDC_UPDATE);
    rig.ui.QueueClick(kMain, kIdCancel);
    EXPECT_EQ(rig.Run(), kIdCancel);
    EXPECT_THAT(rig.ui.Errors(), IsEmpty());
    EXPECT_EQ(rig.ui.PendingActions(), 2u) << "the main dialog was never used";
    EXPECT_THAT(rig.DialogsShown(), ElementsAre(kMain, kCaution));
}

// The about item goes after a separator at the end of the system menu, unless string 101 is
// empty; the command opens the about box whatever its low four bits, and every other system
// command is the platform's.
TEST_P(StartPathTest, SystemMenuOpensTheAboutBox) {
    TypicalFolder(rig.folder);
    AddDrive(0, MakerDrive("MTX5160E"));
    rig.ui.QueueClick(kCaution, kIdCancel);
    rig.ui.QueueCheck(kMain, [&](HeadlessDialogView& view) {
        rig.ui.Send(view.Handle(), kWmSysCommand, IDM_ABOUTBOX | 0x3, 0);
    });
    rig.ui.QueueClick(kAbout, kIdOk);
    rig.ui.QueueCheck(kMain, [&](HeadlessDialogView& view) {
        rig.ui.Send(view.Handle(), kWmSysCommand, kScClose, 0);
    });
    EXPECT_EQ(rig.Run(), kIdCancel) << "the close command ends the dialog";
    EXPECT_THAT(rig.ui.Errors(), IsEmpty());
    EXPECT_THAT(rig.DialogsShown(), ElementsAre(kMain, kCaution, kAbout));
    const DialogRecord& main = rig.ui.Dialogs()[0];
    ASSERT_EQ(main.systemMenu.size(), 2u);
    EXPECT_EQ(main.systemMenu[0].commandId, 0u) << "a separator first";
    EXPECT_EQ(main.systemMenu[1].commandId, static_cast<unsigned>(IDM_ABOUTBOX));
    EXPECT_EQ(main.systemMenu[1].text, rig.ui.LoadStringResource(IDS_ABOUTBOX));
    EXPECT_FALSE(main.systemMenu[1].text.empty());
}

TEST_P(StartPathTest, EmptyAboutStringLeavesTheSystemMenuAlone) {
    TypicalFolder(rig.folder);
    AddDrive(0, MakerDrive("MTX5160E"));
    rig.ui.ReplaceString(IDS_ABOUTBOX, "");
    ContinueThen([](HeadlessDialogView&) {});
    RunToEnd();
    EXPECT_THAT(rig.ui.Dialogs()[0].systemMenu, IsEmpty());
}

// Icon 128 is the window's two icons and the dragged icon, and is drawn centred in the client
// area while the window is minimised; otherwise the main dialog paints nothing of its own.
TEST_P(StartPathTest, IconIsShownCentredWhileMinimised) {
    TypicalFolder(rig.folder);
    AddDrive(0, MakerDrive("MTX5160E"));
    const IconHandle icon = rig.ui.LoadIconResource(IDR_MAINFRAME);
    ASSERT_NE(icon, 0u);
    size_t paintsBefore = 0;
    rig.ui.QueueClick(kCaution, kIdCancel);
    rig.ui.QueueCheck(kMain, [&](HeadlessDialogView& view) {
        paintsBefore = rig.ui.Dialogs()[0].paints.size();
        EXPECT_EQ(static_cast<IconHandle>(rig.ui.Send(view.Handle(), kWmQueryDragIcon, 0, 0)),
                  icon);
        view.SetIconic(true);
    });
    rig.ui.QueueCheck(kMain, [&](HeadlessDialogView& view) {
        const std::vector<PaintRecord>& paints = rig.ui.Dialogs()[0].paints;
        ASSERT_EQ(paints.size(), paintsBefore + 1);
        const PixelSize client = rig.ui.ClientSize(view.Handle());
        const PixelSize iconSize = rig.ui.SystemIconSize();
        ASSERT_EQ(paints.back().icons.size(), 1u);
        EXPECT_EQ(paints.back().icons[0].icon, icon);
        EXPECT_EQ(paints.back().icons[0].x, (client.width - iconSize.width + 1) / 2);
        EXPECT_EQ(paints.back().icons[0].y, (client.height - iconSize.height + 1) / 2);
        EXPECT_THAT(paints.back().texts, IsEmpty());
    });
    rig.ui.QueueClick(kMain, kIdCancel);
    RunToEnd();
    EXPECT_EQ(paintsBefore, 0u) << "nothing is painted while the window is restored";
    EXPECT_EQ(rig.ui.Dialogs()[0].bigIcon, icon);
    EXPECT_EQ(rig.ui.Dialogs()[0].smallIcon, icon);
    EXPECT_EQ(rig.ui.OpenPaints(), 0);
}

INSTANTIATE_TEST_SUITE_P(Paths, StartPathTest, ::testing::Values(Path::Aspi, Path::PassThrough),
                         PathName);

// The application runs the main dialog once and then lets the program end.
TEST_F(StartTest, ApplicationRunsTheMainDialogAndEnds) {
    TypicalFolder(rig.folder);
    rig.MapDrive('E', MakerDrive("MTX5160E"));
    ContinueThen([](HeadlessDialogView&) {});
    FirmwareUpdateApp app;
    EXPECT_FALSE(app.InitInstance(rig.ui, rig.Services()));
    EXPECT_THAT(rig.ui.Errors(), IsEmpty());
    EXPECT_THAT(rig.DialogsShown(), ElementsAre(kMain, kCaution));
    EXPECT_EQ(rig.ui.Dialogs()[0].result, kIdCancel);
    EXPECT_EQ(rig.volumes.OpenHandles(), 0u) << "the drive list is gone with the dialog";
}

}  // namespace
}  // namespace quillet::test
