// The download on both transports, whole flows over the simulated drive: the commands the drive
// receives, the image it keeps, the messages, the waits, and what is left open afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "device/status_report.h"
#include "support/download_harness.h"
#include "update/firmware_image.h"

namespace quillet::test {
namespace {

constexpr char kFile[] = "FW.BIN";
const std::string kTaggedProduct = "MTX5160S        ";

// What the download says it did, against what the drive saw.
void ExpectOutcome(const DownloadOutcome& outcome, size_t blocksTaken, bool closed, bool updated) {
    EXPECT_EQ(outcome.blocksTaken, static_cast<int>(blocksTaken));
    EXPECT_EQ(outcome.AnythingWritten(), blocksTaken > 0);
    EXPECT_EQ(outcome.closed, closed);
    EXPECT_EQ(outcome.updated, updated);
}

class DownloadTest : public ::testing::TestWithParam<bool> {
protected:
    DownloadTest() : harness_(MakeHarness(GetParam())) {}

    DownloadHarness& H() { return *harness_; }
    bool Aspi() const { return GetParam(); }

    std::unique_ptr<DownloadHarness> harness_;
};

// Offsets start at the product code's low 24 bits and grow by each block's padded length; the
// closing command names the offset after the last block. The whole programming wait is the only
// time that passes: 25 x 1250 ms on ASPI, 350 ms per step the bar still lacks on pass-through.
TEST_P(DownloadTest, BlocksCarryOffsetsFromTheProductCode) {
    struct Block {
        uint32_t offset;
        uint32_t length;
    };
    struct Row {
        const char* name;
        size_t imageLength;
        uint32_t productCode;
        std::vector<Block> blocks;
        uint32_t closingOffset;
        uint64_t passThroughWaitMs;
    };
    const Row rows[] = {
        {"2 x 16384 + 7232 bytes",
         2 * 16384 + 7232,
         0x123456,
         {{0x123456, 16384}, {0x127456, 16384}, {0x12B456, 8192}},
         0x12D456,
         33950},
        {"3 x 16384 bytes",
         3 * 16384,
         0x010000,
         {{0x010000, 16384}, {0x014000, 16384}, {0x018000, 16384}},
         0x01C000,
         33950},
        {"1 byte", 1, 0, {{0, 2048}}, 0x800, 34650},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(H().Name()) + ": " + row.name);
        harness_ = MakeHarness(Aspi());
        sim::DriveModel model;
        model.productCode = row.productCode;
        sim::SimulatedDrive& drive = H().AddDrive(model);
        const std::string image = Pattern(row.imageLength, 7);
        H().files.Add(kFile, image);
        std::vector<uint32_t> commandsAtRead;
        H().files.OnRead([&](const MemoryFirmwareFiles::ReadRecord&) {
            commandsAtRead.push_back(drive.CommandCount());
        });

        EXPECT_EQ(H().Run(kFile, row.productCode), 1);

        std::vector<std::string> expected = H().BeforeFirstBlock();
        for (const Block& block : row.blocks)
            expected.push_back(H().Block(block.offset, block.length));
        expected.push_back(H().Block(row.closingOffset, 0));
        EXPECT_EQ(JournalLines(drive), expected);
        // The whole flows' table gives the same blocks.
        EXPECT_EQ(Join({H().BeforeFirstBlock(),
                        journal::Blocks(row.productCode, row.imageLength, H().ClosingDirection())}),
                  expected);
        EXPECT_EQ(drive.ReceivedImage(), Padded(image));
        EXPECT_TRUE(drive.ImageComplete());
        EXPECT_TRUE(H().Messages().Boxes().empty());
        ExpectOutcome(H().Outcome(), row.blocks.size(), true, true);

        const uint64_t wait = Aspi() ? 25 * 1250 : row.passThroughWaitMs;
        H().ExpectReleased(wait);
        EXPECT_EQ(H().Clock().Now(), wait);

        // Four header bytes, then one read per block, each made once the block before it has
        // gone to the drive, never more than a block at a time.
        ASSERT_EQ(commandsAtRead.size(), 4 + row.blocks.size());
        const uint32_t first = static_cast<uint32_t>(H().BeforeFirstBlock().size());
        for (size_t i = 0; i < row.blocks.size(); ++i)
            EXPECT_EQ(commandsAtRead[4 + i], first + i) << "read of block " << i;
        EXPECT_LE(H().files.LargestRead(), kFirmwareBlockSize);
    }
}

// Two models choose their section by the firmware tag the drive reports; every other drive,
// lower-case spellings included, takes the whole file whatever its first bytes hold.
TEST_P(DownloadTest, TaggedModelsReceiveTheirSectionOthersTheWholeFile) {
    const std::string sectionA = Section("TAG-A-01", 20000, 1);
    const std::string sectionB = Section("TAG-B-02", 9000, 2);
    const std::string file = sectionA + sectionB + Pattern(5000, 3);
    struct Row {
        const char* name;
        std::string product;
        std::string driveTag;
        std::string image;  // empty: nothing may be written
        bool readsTag;
    };
    const Row rows[] = {
        {"section A", kTaggedProduct, "TAG-A-01", sectionA, true},
        {"section B", "MTX5160E        ", "TAG-B-02", sectionB, true},
        {"neither section", kTaggedProduct, "TAG-C-03", "", true},
        {"longer product name, same first eight", "MTX5160SX-2     ", "TAG-B-02", sectionB, true},
        {"lower-case model", "mtx5160s        ", "TAG-A-01", file, false},
        {"last letter lower-case", "MTX5160s        ", "TAG-B-02", file, false},
        {"other drive", "CDRW-8432       ", "TAG-A-01", file, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(H().Name()) + ": " + row.name);
        harness_ = MakeHarness(Aspi());
        sim::DriveModel model;
        model.product = row.product;
        std::copy(row.driveTag.begin(), row.driveTag.end(), model.firmwareTag.begin());
        sim::SimulatedDrive& drive = H().AddDrive(model);
        H().files.Add(kFile, file);

        EXPECT_EQ(H().Run(kFile, 0), row.image.empty() ? 0 : 1);

        const std::vector<std::string> journal = JournalLines(drive);
        const size_t inquiry = Aspi() ? 0 : 1;
        ASSERT_GT(journal.size(), inquiry);
        EXPECT_EQ(journal[inquiry] == H().TagRead(), row.readsTag);
        if (row.image.empty()) {
            EXPECT_EQ(journal.size(), inquiry + 1);
            EXPECT_EQ(H().Messages().Texts(), std::vector<std::string>{kFirmwareFileReadError});
            EXPECT_TRUE(H().progress.Messages().empty());
            continue;
        }
        EXPECT_EQ(drive.ReceivedImage(), Padded(row.image));
        EXPECT_TRUE(drive.ImageComplete());
        EXPECT_TRUE(H().Messages().Boxes().empty());
        // Nothing after the chosen section is read.
        size_t end = file.size();
        if (row.image == sectionA)
            end = sectionA.size();
        if (row.image == sectionB)
            end = sectionA.size() + sectionB.size();
        EXPECT_LE(H().files.EndOfBytesRead(), end);
    }
}

// Faults of the file itself: each ends with its message and result 0, having sent the drive
// nothing but what came before the fault.
TEST_P(DownloadTest, FileFaultsEndWithTheirMessageBeforeAnyLaterCommand) {
    enum class Sent { Nothing, TagRead, BeforeBlocks, FirstBlock };
    struct Row {
        const char* name;
        std::string product;
        std::string file;  // empty name: no such file
        uint32_t productCode;
        int limitedRead;  // a read (from 1) that delivers only 100 bytes; 0 none
        const char* message;
        Sent sent;
    };
    const std::string sectionA = Section("MTX5160E", 20000, 1);
    const std::string otherTag = Section("OTHERTAG", 20000, 1);
    const Row rows[] = {
        {"no such file", "CDRW-8432", "", 0, 0, kFirmwareFileOpenError, Sent::Nothing},
        {"empty file", "CDRW-8432", std::string("\0", 0), 0, 0, kFirmwareFileReadError,
         Sent::BeforeBlocks},
        {"section runs past the end of the file", kTaggedProduct, sectionA.substr(0, 19999), 0, 0,
         kFirmwareFileReadError, Sent::TagRead},
        {"section shorter than its header", kTaggedProduct, Section("MTX5160E", 8, 1) + "more", 0,
         0, kFirmwareFileReadError, Sent::TagRead},
        {"file ends inside the first header", kTaggedProduct, sectionA.substr(0, 6), 0, 0,
         kFirmwareFileReadError, Sent::TagRead},
        {"file ends inside the second header", kTaggedProduct, otherTag + std::string(2, '\0'), 0,
         0, kFirmwareFileReadError, Sent::TagRead},
        {"a block read delivers less than the image owes", "CDRW-8432", Pattern(40000, 5), 0, 6,
         kFirmwareFileReadError, Sent::FirstBlock},
        {"offsets would pass the 24-bit field", "CDRW-8432", Pattern(16383, 5), 0xFFC000, 0,
         kFirmwareFileSizeError, Sent::Nothing},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(H().Name()) + ": " + row.name);
        harness_ = MakeHarness(Aspi());
        sim::DriveModel model;
        model.product = row.product;
        model.productCode = row.productCode;
        sim::SimulatedDrive& drive = H().AddDrive(model);
        if (!row.file.empty() || row.sent != Sent::Nothing)
            H().files.Add(kFile, row.file);
        if (row.limitedRead > 0)
            H().files.LimitRead(row.limitedRead, 100);

        EXPECT_EQ(H().Run(kFile, row.productCode), 0);

        std::vector<std::string> expected;
        if (!Aspi())
            expected.push_back("12 00 00 00 FF 00 in 1024 GOOD");
        if (row.sent == Sent::TagRead)
            expected.push_back(H().TagRead());
        if (row.sent == Sent::BeforeBlocks || row.sent == Sent::FirstBlock)
            expected = H().BeforeFirstBlock();
        if (row.sent == Sent::FirstBlock)
            expected.push_back(H().Block(row.productCode, 16384));
        EXPECT_EQ(JournalLines(drive), expected);
        EXPECT_FALSE(drive.ImageComplete());
        ExpectOutcome(H().Outcome(), row.sent == Sent::FirstBlock, false, false);
        EXPECT_EQ(H().Messages().Texts(), std::vector<std::string>{row.message});
        // The notification is switched off only once the disc check has passed, and back on at
        // the exit.
        const bool switchedOff = !Aspi() && row.sent >= Sent::BeforeBlocks;
        EXPECT_EQ(H().Switches(), switchedOff ? std::vector<int>({1, 0}) : std::vector<int>{});
        if (row.sent < Sent::BeforeBlocks) {
            EXPECT_TRUE(H().progress.Messages().empty());
        }
        H().ExpectReleased();
    }
}

// A file exception anywhere ends the download with one message naming the file (or saying it
// has no name) and the cause; the file and the drive are released, the notification restored.
TEST_P(DownloadTest, FileExceptionsAreReportedAndEverythingReleased) {
    using Op = MemoryFirmwareFiles::Operation;
    using C = FileErrorCause;
    struct Row {
        const char* name;
        bool tagged;
        MemoryFirmwareFiles::Fault fault;
        const char* cause;  // after the file's name, or "Firmware file name error !" without one
        size_t blocksSent;  // SIZE_MAX: stopped before the disc check
    };
    const size_t kEarly = SIZE_MAX;
    const Row rows[] = {
        {"length", false, {Op::Length, 1, C::AccessDenied, ""}, "Failed to access file.", kEarly},
        {"header byte", false, {Op::Read, 2, C::FileNotFound, ""}, "Not found file.", kEarly},
        {"seek to section B", true, {Op::Seek, 1, C::BadPath, ""}, "Illegal file path.", kEarly},
        {"second block's read", false, {Op::Read, 6, C::HardIo, ""}, "File i/o error.", 1},
        {"third block's read", false, {Op::Read, 7, C::SharingViolation, ""}, "File error.", 2},
        {"close", false, {Op::Close, 1, C::DiskFull, "FW.BIN"}, "Disk is full.", 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(H().Name()) + ": " + row.name);
        harness_ = MakeHarness(Aspi());
        sim::DriveModel model;
        model.product = row.tagged ? kTaggedProduct : "CDRW-8432";
        sim::SimulatedDrive& drive = H().AddDrive(model);
        // Section A carries another tag, so a tagged drive looks for section B.
        H().files.Add(kFile, Section("OTHERTAG", 2 * 16384 + 100, 4) + Section("MTX5160E", 20, 5));
        H().files.AddFault(row.fault);

        EXPECT_EQ(H().Run(kFile, 0), 0);

        const std::string name =
            row.fault.fileName.empty() ? "Firmware file name error !" : row.fault.fileName;
        EXPECT_EQ(H().Messages().Texts(), std::vector<std::string>{name + ": " + row.cause});
        const std::vector<std::string> journal = JournalLines(drive);
        size_t blocks = 0;
        for (const std::string& line : journal)
            blocks += line.compare(0, 2, "3B") == 0 && line.find(" out 0 ") == std::string::npos &&
                      line.find(" none 0 ") == std::string::npos;
        EXPECT_EQ(blocks, row.blocksSent == kEarly ? 0 : row.blocksSent);
        // Only the close comes after the closing command.
        EXPECT_EQ(drive.ImageComplete(), row.fault.operation == Op::Close);
        ExpectOutcome(H().Outcome(), row.blocksSent == kEarly ? 0 : row.blocksSent,
                      row.fault.operation == Op::Close, false);
        if (row.blocksSent == kEarly) {
            EXPECT_EQ(journal.size(), (Aspi() ? 0u : 1u) + row.tagged);
        }
        const bool switchedOff = !Aspi() && row.blocksSent != kEarly;
        EXPECT_EQ(H().Switches(), switchedOff ? std::vector<int>({1, 0}) : std::vector<int>{});
        H().ExpectReleased();
    }
}

// A block or closing command the drive refuses ends the download at once with the side's
// message: over ASPI the status report, on pass-through the write error. Nothing follows, no
// wait is made, and the notification is switched back on.
TEST_P(DownloadTest, RefusedWriteBufferEndsAtOnce) {
    struct Row {
        const char* name;
        uint32_t writeBuffer;  // the refused one, counted from 1
        size_t bytesAccepted;
        int blocksTaken;
    };
    const Row rows[] = {{"second block", 2, 16384, 1}, {"closing command", 4, 40960, 3}};
    SrbExecScsiCommand refused{};
    refused.SRB_Status = 0x04;
    refused.SRB_TargStat = 0x02;
    refused.SRB_SenseLen = 14;
    const uint8_t sense[] = {0x70, 0, 0x04, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x44};
    std::copy(std::begin(sense), std::end(sense), refused.SenseArea);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(H().Name()) + ": " + row.name);
        harness_ = MakeHarness(Aspi());
        sim::SimulatedDrive& drive = H().AddDrive({});
        sim::Fault fault;
        fault.commandNumber =
            static_cast<uint32_t>(H().BeforeFirstBlock().size()) + row.writeBuffer;
        drive.AddFault(fault);
        H().files.Add(kFile, Pattern(2 * 16384 + 7232, 4));

        EXPECT_EQ(H().Run(kFile, 0), 0);

        const std::vector<std::string> journal = JournalLines(drive);
        ASSERT_EQ(journal.size(), fault.commandNumber);
        EXPECT_NE(journal.back().find("CHECK 04/44/00"), std::string::npos);
        EXPECT_EQ(
            journal,
            Join({H().BeforeFirstBlock(),
                  journal::Blocks(0, 2 * 16384 + 7232, H().ClosingDirection(), row.writeBuffer)}));
        EXPECT_EQ(drive.ReceivedImage().size(), row.bytesAccepted);
        EXPECT_FALSE(drive.ImageComplete());
        ExpectOutcome(H().Outcome(), row.blocksTaken, false, false);
        const std::string text =
            Aspi() ? ComposeScsiStatusReport(refused) : std::string("Firmware write error !");
        EXPECT_EQ(H().Messages().Texts(), std::vector<std::string>{text});
        EXPECT_EQ(H().Switches(), Aspi() ? std::vector<int>{} : std::vector<int>({1, 0}));
        H().ExpectReleased();
    }
}

// A disc found, in a loaded or an open tray, is ejected; nothing is written and nothing waited
// for. ASPI looks three times, loads and looks twice; pass-through loads only an open tray and
// looks eleven times before and after.
TEST_P(DownloadTest, DiscInTheDriveIsEjectedAndNothingWritten) {
    const std::string direction = Aspi() ? " none " : " in ";
    const std::string ready = "00 00 00 00 00 00" + direction + "0 GOOD";
    const std::string trayOpen = "00 00 00 00 00 00" + direction + "0 CHECK 02/3A/02";
    const std::string load = "1B 00 00 00 03 00" + direction + "0 GOOD";
    const std::string eject = "1B 00 00 00 02 00" + direction + "0 GOOD";
    const std::string inquiry = "12 00 00 00 FF 00 in 1024 GOOD";
    struct Row {
        const char* name;
        bool trayOpen;
        std::vector<std::string> aspi, passThrough;
    };
    const Row rows[] = {
        {"disc loaded", false, journal::aspi::DiscFound(),
         Join({{inquiry}, journal::pass_through::DiscFound()})},
        {"disc in an open tray", true, Join({Times(3, trayOpen), {load, ready, ready, eject}}),
         Join({{inquiry}, Times(11, trayOpen), {load, ready}, Times(11, ready), {eject}})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::unique_ptr<DownloadHarness> h = MakeHarness(Aspi());
        sim::DriveModel model;
        model.discPresent = true;
        model.trayOpen = row.trayOpen;
        sim::SimulatedDrive& drive = h->AddDrive(model);
        h->files.Add(kFile, Pattern(5000, 1));

        EXPECT_EQ(h->Run(kFile, 0), 0);

        EXPECT_EQ(JournalLines(drive), Aspi() ? row.aspi : row.passThrough);
        EXPECT_TRUE(drive.TrayOpen());
        EXPECT_EQ(h->Messages().Texts(), std::vector<std::string>{kEjectDiscText});
        ExpectOutcome(h->Outcome(), 0, false, false);
        EXPECT_TRUE(h->Switches().empty());
        h->ExpectReleased();
    }
}

INSTANTIATE_TEST_SUITE_P(BothTransports, DownloadTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Aspi" : "PassThrough";
                         });

}  // namespace
}  // namespace quillet::test
