// The pass-through download in stages, as the Linux program takes it: the plan known before
// anything changes on the drive, the disc probed with TEST UNIT READY alone, and a front end
// that stops the download between blocks or cuts the programming wait short.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/download_harness.h"
#include "update/firmware_image.h"

namespace quillet::test {
namespace {

constexpr char kFile[] = "FW.BIN";
const std::string kInquiry = "12 00 00 00 FF 00 in 1024 GOOD";
const std::string kNoDisc = "00 00 00 00 00 00 in 0 CHECK 02/3A/01";

struct Staged {
    explicit Staged(sim::DriveModel model = {}) : drive(h.AddDrive(std::move(model))) {
        h.list = h.rig.MakeList();
    }
    PassThroughUpdate Update() {
        return PassThroughUpdate(h.rig.clock, h.rig.messages, h.files, h.strings, *h.list, 0,
                                 h.progress, DownloadHarness::kMainDialog);
    }

    PassThroughHarness h;
    sim::SimulatedDrive& drive;
};

// The plan names what the blocks will carry and where, and preparing it sends the drive nothing
// but the tag read a tagged model needs.
TEST(StagedDownload, PlanIsKnownBeforeAnyCommandThatChangesTheDrive) {
    struct Row {
        const char* name;
        std::string product;
        std::string file;
        uint32_t productCode;
        uint64_t start, length;
        int section;
        uint32_t first, last, closing;
        int blocks;
        uint64_t bytes;
        uint32_t waitMs;
    };
    const std::string sectionA = Section("OTHERTAG", 20000, 1);
    const Row rows[] = {
        {"whole file, 2 x 16384 + 7232 bytes", "CDRW-8432", Pattern(2 * 16384 + 7232, 3), 0x123456,
         0, 2 * 16384 + 7232, 0, 0x123456, 0x127456 + 0x4000, 0x12D456, 3, 40960, 97 * 350},
        {"tagged, second section", "MTX5160E", sectionA + Section("MTX5160E", 9000, 2), 0x200000,
         20000, 9000, 2, 0x200000, 0x200000, 0x202800, 1, 10240, 99 * 350},
        {"more blocks than the bar has steps", "CDRW-8432", Pattern(101 * 16384, 4), 0, 0,
         101 * 16384, 0, 0, 100 * 16384, 101 * 16384, 101, 101 * 16384, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::DriveModel model;
        model.product = row.product;
        Staged s(model);
        s.h.files.Add(kFile, row.file);
        PassThroughUpdate update = s.Update();

        ASSERT_TRUE(update.Prepare(kFile, row.productCode));

        const DownloadPlan& plan = update.Plan();
        EXPECT_EQ(plan.image.fileLength, row.file.size());
        EXPECT_EQ(plan.image.start, row.start);
        EXPECT_EQ(plan.image.length, row.length);
        EXPECT_EQ(plan.image.section, row.section);
        EXPECT_EQ(plan.image.driveTag, row.section ? "MTX5160E" : "");
        EXPECT_EQ(plan.productCode, row.productCode);
        EXPECT_EQ(plan.firstOffset, row.first);
        EXPECT_EQ(plan.lastOffset, row.last);
        EXPECT_EQ(plan.closingOffset, row.closing);
        EXPECT_EQ(plan.blocks, row.blocks);
        EXPECT_EQ(plan.bytes, row.bytes);
        EXPECT_EQ(plan.programmingWaitMs, row.waitMs);
        std::vector<std::string> sent = {kInquiry};
        if (row.section)
            sent.push_back(s.h.TagRead());
        EXPECT_EQ(JournalLines(s.drive), sent);
        EXPECT_TRUE(s.h.Switches().empty());
        EXPECT_TRUE(s.h.progress.Messages().empty());
    }
}

// The plan's figures are what the download then sends and waits.
TEST(StagedDownload, WriteSendsThePlan) {
    sim::DriveModel model;
    model.productCode = 0x123456;
    Staged s(model);
    s.h.files.Add(kFile, Pattern(2 * 16384 + 7232, 5));
    PassThroughUpdate update = s.Update();
    ASSERT_TRUE(update.Prepare(kFile, 0x123456));
    const DownloadPlan plan = update.Plan();

    const DownloadOutcome outcome = update.Write(nullptr);

    EXPECT_TRUE(outcome.updated);
    const std::vector<std::string> writes = WriteBuffers(s.drive);
    ASSERT_EQ(writes.size(), static_cast<size_t>(plan.blocks) + 1);
    EXPECT_EQ(writes.front().substr(0, 17), s.h.Block(plan.firstOffset, 16384).substr(0, 17));
    EXPECT_EQ(writes[writes.size() - 2].substr(0, 17),
              s.h.Block(plan.lastOffset, 8192).substr(0, 17));
    EXPECT_EQ(writes.back(), s.h.Block(plan.closingOffset, 0));
    EXPECT_EQ(s.drive.ReceivedImage().size(), plan.bytes);
    EXPECT_EQ(s.h.Clock().TotalSlept(), plan.programmingWaitMs);
}

// A failed preparation is shown as the door shows it and leaves nothing open.
TEST(StagedDownload, FailedPreparationIsShownAndReleased) {
    Staged s;
    {
        PassThroughUpdate update = s.Update();
        EXPECT_FALSE(update.Prepare("MISSING.BIN", 0));
        EXPECT_EQ(s.h.Messages().Texts(), std::vector<std::string>{kFirmwareFileOpenError});
    }
    EXPECT_EQ(JournalLines(s.drive), std::vector<std::string>{kInquiry});
    s.h.ExpectReleased();
}

// TEST UNIT READY alone, as the disc check begins: no tray is loaded, no disc ejected, the
// notification is not touched.
TEST(StagedDownload, DiscProbeSendsTestUnitReadyOnly) {
    struct Row {
        const char* name;
        bool disc, trayOpen;
        DiscProbe probe;
        std::string answer;
    };
    const Row rows[] = {
        {"empty", false, false, DiscProbe::Empty, kNoDisc},
        {"tray open", false, true, DiscProbe::TrayOpen, "00 00 00 00 00 00 in 0 CHECK 02/3A/02"},
        {"disc loaded", true, false, DiscProbe::DiscLoaded, "00 00 00 00 00 00 in 0 GOOD"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::DriveModel model;
        model.discPresent = row.disc;
        model.trayOpen = row.trayOpen;
        Staged s(model);
        s.h.files.Add(kFile, Pattern(5000, 1));
        {
            PassThroughUpdate update = s.Update();
            ASSERT_TRUE(update.Prepare(kFile, 0));
            EXPECT_EQ(update.ProbeDisc(), row.probe);
        }
        EXPECT_EQ(JournalLines(s.drive), Join({{kInquiry}, Times(11, row.answer)}));
        EXPECT_EQ(s.drive.TrayOpen(), row.trayOpen);
        EXPECT_TRUE(s.h.Switches().empty());
        EXPECT_TRUE(s.h.Messages().Boxes().empty());
        s.h.ExpectReleased();
    }
}

// A front end that answers as the row says: stop before the first block, before block n, or
// cut the programming wait before step n.
class ScriptedWatch : public DownloadWatch {
public:
    ScriptedWatch(bool writeNow, int stopBeforeBlock, int cutBeforeStep)
        : writeNow_(writeNow), stopBeforeBlock_(stopBeforeBlock), cutBeforeStep_(cutBeforeStep) {}

    bool WriteNow() override { return writeNow_; }
    bool StopBeforeBlock() override { return ++block_ + 1 == stopBeforeBlock_; }
    bool CutProgrammingWait(uint32_t leftMs) override {
        left.push_back(leftMs);
        return static_cast<int>(left.size()) == cutBeforeStep_;
    }

    std::vector<uint32_t> left;

private:
    bool writeNow_;
    int stopBeforeBlock_;
    int cutBeforeStep_;
    int block_ = 0;  // blocks sent
};

// Stopped before a block, the drive gets no closing command and the notification comes back on;
// a cut wait leaves a drive that took everything. Each says where the drive stands.
TEST(StagedDownload, WatchStopsBetweenBlocksOrCutsTheWait) {
    struct Row {
        const char* name;
        bool writeNow;
        int stopBeforeBlock, cutBeforeStep;
        int blocksTaken;
        bool closed, stopped, waitCut, updated;
        uint64_t sleptMs;
        std::vector<int> switches;
    };
    const Row rows[] = {
        {"not written", false, 0, 0, 0, false, true, false, false, 0, {}},
        {"stopped before the third block", true, 3, 0, 2, false, true, false, false, 0, {1, 0}},
        {"wait cut at its fifth step", true, 0, 5, 3, true, false, true, false, 4 * 350, {1, 0}},
        {"left alone", true, 0, 0, 3, true, false, false, true, 97 * 350, {1, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Staged s;
        s.h.files.Add(kFile, Pattern(2 * 16384 + 7232, 6));
        ScriptedWatch watch(row.writeNow, row.stopBeforeBlock, row.cutBeforeStep);
        DownloadOutcome outcome;
        {
            PassThroughUpdate update = s.Update();
            ASSERT_TRUE(update.Prepare(kFile, 0));
            outcome = update.Write(&watch);
        }
        EXPECT_EQ(outcome.blocksTaken, row.blocksTaken);
        EXPECT_EQ(outcome.closed, row.closed);
        EXPECT_EQ(outcome.stopped, row.stopped);
        EXPECT_EQ(outcome.waitCut, row.waitCut);
        EXPECT_EQ(outcome.updated, row.updated);
        const std::vector<std::string> writes = WriteBuffers(s.drive);
        EXPECT_EQ(writes.size(), static_cast<size_t>(row.blocksTaken + (row.closed ? 1 : 0)));
        EXPECT_EQ(s.drive.ImageComplete(), row.closed);
        EXPECT_EQ(s.h.Switches(), row.switches);
        EXPECT_TRUE(s.h.Messages().Boxes().empty());
        s.h.ExpectReleased(row.sleptMs);
        if (row.closed) {
            ASSERT_GE(watch.left.size(), 2u);
            EXPECT_EQ(watch.left[0], 97u * 350);
            EXPECT_EQ(watch.left[1], 96u * 350);
        }
    }
}

}  // namespace
}  // namespace quillet::test
