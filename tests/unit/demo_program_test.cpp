// The demo program as QuilletDemo.exe puts it together, headless: the program's own main dialog
// with its caption marked, over the drives of a WNASPI32.CFG in a real folder with the platform's
// own file services, on the path the platform gives. Each whole update leaves in the drives'
// journal files exactly the lines of the whole-flow table that the end-to-end tests of the real
// demo program compare with.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/demo/demo_update_dialog.h"
#include "platform/directory_search.h"
#include "platform/file_system.h"
#include "platform/firmware_file.h"
#include "platform/profile_reader.h"
#include "sim/configured_drives.h"
#include "support/expected_journal.h"
#include "support/memory_firmware_files.h"
#include "support/temp_dir.h"
#include "unit/app_fixture.h"

namespace quillet::test {
namespace {

using ::testing::IsEmpty;

constexpr LanguageId kJapanese = 0x0411;
constexpr uint32_t kMtxCode = 0x200000;
constexpr uint32_t kCdrwCode = 0x340000;
constexpr uint32_t kMtxELength = 40000;
constexpr uint32_t kMtxSLength = 50000;
constexpr uint32_t kCdrwLength = 70000;
constexpr const char* kStopped = "This operation was stopped!!";

// The demo's folder: a tagged MTX5160E at target 1 and on F:, a CDRW-8432 whose offered firmware
// is older than its own at target 2 and on E:, another vendor's drive at target 4 and on D:; the
// catalogue offers one image that is there and one that is not for each family.
class DemoRig {
public:
    // `drive0`, `drive1`: lines added to the sections Drive0 and Drive1.
    DemoRig(Path path, const std::string& drive0 = "", const std::string& drive1 = "",
            LanguageId language = kEnglishUs)
        : ui(language, messages) {
        platform.Set(path == Path::Aspi ? kPlatformWindows9x : kPlatformWindowsNt);
        const std::string mtxImage =
            Section("MTX5160E", kMtxELength, 1) + Section("MTX5160S", kMtxSLength, 2);
        dir.WriteFile("MTX5160.BIN", mtxImage);
        dir.WriteFile("CDRW8432.BIN", Pattern(kCdrwLength, 3));
        dir.WriteFile(
            "tarvex.ini",
            Catalogue(
                {{{"MTX5160E", "MTX5160S"}, {"1.0p M5160OLD.BIN", "1.1a MTX5160.BIN"}, kMtxCode},
                 {{"CDRW-8432"}, {"1.0r CDRW8432.BIN", "1.2b CDRW843N.BIN"}, kCdrwCode}}));
        dir.WriteFile(sim::kDriveConfigName,
                      "[ASPI]\nAdapters=1\nDrives=3\n"
                      "[Drive0]\nTarget=1\nLetter=F\nProduct=MTX5160E\nRevision=1.0q\n"
                      "Tag=MTX5160E\nProductCode=0x200000\n" +
                          drive0 +
                          "[Drive1]\nTarget=2\nLetter=e:\nProduct=CDRW-8432\nRevision=1.1a\n"
                          "ProductCode=0x340000\n" +
                          drive1 +
                          "[Drive2]\nTarget=4\nLetter=D\nVendor=OTHERCO\nProduct=DVD-ROM 16X\n");
        drives = std::make_unique<sim::ConfiguredDrives>(
            profile, (dir.Path() / sim::kDriveConfigName).string(), clock, events);
        // As QuilletDemo.exe does: letters on the NT family only.
        if (path == Path::PassThrough)
            drives->ServeLetters();
    }

    // Runs `dialog`'s kind of main dialog to its end with the queued script.
    template <class MainDialog>
    int Run() {
        const AppServices services{platform,          directory,      files,  profile, *firmware,
                                   drives->Volumes(), drives->Aspi(), events, clock,   keep};
        MainDialog dialog(ui, services);
        return dialog.DoModal();
    }

    // The lines of the file beside the configuration; none when it is not there.
    std::vector<std::string> Lines(const std::string& name) const {
        std::ifstream file(dir.Path() / name);
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        return lines;
    }
    std::string Bytes(const std::string& name) const {
        std::ifstream file(dir.Path() / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    bool Exists(const std::string& name) const { return std::ifstream(dir.Path() / name).good(); }

    TempDir dir;  // the current directory while the rig lives
    RequestKeep keep;
    VirtualClock clock;
    sim::SimulatedEvents events{clock};
    FixedPlatformIdentifier platform{kPlatformWindowsNt};
    SystemDirectorySearch directory;
    SystemFileSystem files;
    SystemProfileReader profile;
    SystemFirmwareFiles systemFirmware;
    FirmwareFiles* firmware = &systemFirmware;
    RecordedMessageBox messages{kAppTitle};
    HeadlessUserInterface ui;
    std::unique_ptr<sim::ConfiguredDrives> drives;
};

// The main dialog's caption says it is the demo, in every language; the caution before it, and
// so every other window, is the program's own.
TEST(DemoProgram, MainDialogCaptionSaysItIsTheDemo) {
    struct Row {
        const char* name;
        Path path;
        LanguageId language;
    };
    const Row rows[] = {{"English, NT family", Path::PassThrough, kEnglishUs},
                        {"English, Windows 9x family", Path::Aspi, kEnglishUs},
                        {"Japanese, NT family", Path::PassThrough, kJapanese}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DemoRig rig(row.path, "", "", row.language);
        // "Exit" in the caution ends each program at once.
        rig.ui.QueueClick(kCaution, kIdOk);
        rig.Run<FirmwareUpdateDialog>();
        rig.ui.QueueClick(kCaution, kIdOk);
        rig.Run<DemoUpdateDialog>();

        std::vector<std::string> mains, cautions;
        for (const DialogRecord& record : rig.ui.Dialogs())
            (record.templateId == kMain ? mains : cautions).push_back(record.caption);
        ASSERT_EQ(mains.size(), 2u);
        ASSERT_EQ(cautions.size(), 2u);
        EXPECT_FALSE(mains[0].empty());
        EXPECT_EQ(mains[1], "(demo) " + mains[0]);
        EXPECT_EQ(cautions[1], cautions[0]);
        EXPECT_THAT(rig.ui.Errors(), IsEmpty());
    }
}

// One run of "Update" on one of the maker's drives, chosen in the lists as a user does; every box
// is answered so the run goes on, and the program ends with "Close".
struct DemoUpdateRow {
    const char* name;
    Path path;
    int drive;              // 0: the tagged MTX5160E, 1: the CDRW-8432
    std::string section;    // lines added to the drive's section
    bool headerUnreadable;  // the image's first byte cannot be read
    journal::Ending ending;
    size_t refusedBlock;
    std::vector<std::string> messages;
};

class DemoUpdateTest : public ::testing::TestWithParam<DemoUpdateRow> {};

TEST_P(DemoUpdateTest, JournalFilesHoldTheWholeFlow) {
    const DemoUpdateRow& row = GetParam();
    const bool aspi = row.path == Path::Aspi;
    const bool tagged = row.drive == 0;
    DemoRig rig(row.path, tagged ? row.section : "", tagged ? "" : row.section);
    const std::string image = tagged ? "MTX5160.BIN" : "CDRW8432.BIN";
    MemoryFirmwareFiles unreadable;
    if (row.headerUnreadable) {
        unreadable.Add(image, rig.Bytes(image));
        unreadable.AddFault({MemoryFirmwareFiles::Operation::Read, 1, FileErrorCause::HardIo, ""});
        rig.firmware = &unreadable;
    }
    // The NT family lists every FILENAME value, the last first; the Windows 9x family only the
    // images that are there.
    const int source = !aspi && !tagged ? 1 : 0;
    rig.ui.QueueClick(kCaution, kIdCancel);
    rig.ui.QueueSelect(kMain, IDC_DRIVE_COMBO, row.drive);
    rig.ui.QueueSelect(kMain, IDC_SOURCE_COMBO, source);
    rig.ui.QueueCheck(kMain, [&](HeadlessDialogView& view) {
        EXPECT_EQ(view.Text(IDC_CURRENT_VERSION), tagged ? "1.0q" : "1.1a");
    });
    rig.ui.QueueClick(kMain, IDC_UPDATE);
    if (!tagged)
        rig.ui.QueueClick(kOldVersion, kIdOk);
    rig.ui.QueueClick(kStartConfirm, kIdOk);
    if (row.ending == journal::Ending::Updated)
        rig.ui.QueueClick(kCompletion, kIdOk);
    rig.ui.QueueClick(kMain, kIdCancel);

    EXPECT_EQ(rig.Run<DemoUpdateDialog>(), kIdCancel);

    EXPECT_THAT(rig.ui.Errors(), IsEmpty());
    EXPECT_EQ(rig.ui.PendingActions(), 0u) << "the script was not used up";
    EXPECT_EQ(rig.messages.Texts(), row.messages);
    journal::Update update;
    update.aspi = aspi;
    update.tagged = tagged;
    update.productCode = tagged ? kMtxCode : kCdrwCode;
    update.imageLength = tagged ? kMtxELength : kCdrwLength;
    update.ending = row.ending;
    update.refusedBlock = row.refusedBlock;
    const std::string own = "Drive" + std::to_string(row.drive);
    EXPECT_EQ(rig.Lines(own + ".LOG"), journal::Numbered(journal::WholeFlow(update)));
    journal::Update untouched{aspi, false, 0, 0, journal::Ending::Untouched, 0};
    const std::vector<std::string> startOnly = journal::Numbered(journal::WholeFlow(untouched));
    EXPECT_EQ(rig.Lines("Drive" + std::to_string(1 - row.drive) + ".LOG"), startOnly);
    EXPECT_EQ(rig.Lines("Drive2.LOG"), startOnly) << "another vendor's drive is asked only once";
    if (row.ending == journal::Ending::Updated) {
        const std::string sent =
            tagged ? rig.Bytes(image).substr(0, kMtxELength) : rig.Bytes(image);
        const std::vector<uint8_t> kept = Padded(sent);
        EXPECT_EQ(rig.Bytes(own + ".IMG"), std::string(kept.begin(), kept.end()));
    } else {
        EXPECT_FALSE(rig.Exists(own + ".IMG"));
    }
}

const journal::Ending kUpdated = journal::Ending::Updated;
const journal::Ending kDisc = journal::Ending::DiscFound;
constexpr const char* kEjectDisc = "Eject the disc from the drive.";

INSTANTIATE_TEST_SUITE_P(
    Rows, DemoUpdateTest,
    ::testing::Values(
        DemoUpdateRow{"NT CDRW-8432 updated", Path::PassThrough, 1, "", false, kUpdated, 0, {}},
        DemoUpdateRow{"NT MTX5160E updated", Path::PassThrough, 0, "", false, kUpdated, 0, {}},
        DemoUpdateRow{"NT MTX5160E with a disc",
                      Path::PassThrough,
                      0,
                      "Disc=1\n",
                      false,
                      kDisc,
                      0,
                      {kEjectDisc, kStopped}},
        DemoUpdateRow{"NT notification switch refused",
                      Path::PassThrough,
                      1,
                      "RefuseMediaChange=off\n",
                      false,
                      journal::Ending::SwitchRefused,
                      0,
                      {"Media change notification error !", kStopped}},
        // The search's INQUIRY and twelve looks come first: command 15 is the second block.
        DemoUpdateRow{"NT second block refused",
                      Path::PassThrough,
                      1,
                      "Fault1=check 15 3B\n",
                      false,
                      journal::Ending::BlockRefused,
                      2,
                      {"Firmware write error !", kStopped}},
        DemoUpdateRow{"NT image header unreadable",
                      Path::PassThrough,
                      1,
                      "",
                      true,
                      journal::Ending::HeaderUnread,
                      0,
                      {"Firmware file name error !: File i/o error.", kStopped}},
        DemoUpdateRow{"9x CDRW-8432 updated", Path::Aspi, 1, "", false, kUpdated, 0, {}},
        DemoUpdateRow{"9x MTX5160E updated", Path::Aspi, 0, "", false, kUpdated, 0, {}},
        DemoUpdateRow{
            "9x MTX5160E with a disc", Path::Aspi, 0, "Disc=1\n", false, kDisc, 0, {kEjectDisc}}),
    RowName<DemoUpdateRow>);

}  // namespace
}  // namespace quillet::test
