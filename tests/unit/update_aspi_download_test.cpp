// The download over ASPI: its request blocks, its disc check, its progress scale and fixed wait,
// and how a block that fails or never finishes is reported.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/status_report.h"
#include "support/download_harness.h"
#include "update/firmware_image.h"

namespace quillet::test {
namespace {

constexpr char kFile[] = "C:\\QUILLET\\FW.BIN";

// The report a finished WRITE BUFFER request block gives.
std::string Report(uint8_t status, uint8_t targetStatus) {
    SrbExecScsiCommand block{};
    block.SRB_Status = status;
    block.SRB_TargStat = targetStatus;
    block.SRB_SenseLen = 14;
    return ComposeScsiStatusReport(block);
}

// Range 0 .. blocks + 250; one position per block, then ten per step of the programming wait.
TEST(AspiDownload, ProgressRunsOverTheBlocksThenTheWait) {
    AspiHarness h;
    h.AddDrive({});
    h.files.Add(kFile, Pattern(10 * 16384, 2));

    EXPECT_EQ(h.Run(kFile, 0), 1);

    ASSERT_FALSE(h.progress.Messages().empty());
    EXPECT_EQ(h.progress.Messages()[0].name, "SETRANGE");
    EXPECT_EQ(h.progress.Messages()[0].first, 0);
    EXPECT_EQ(h.progress.Messages()[0].second, 260);
    std::vector<int> expected;
    for (int block = 1; block <= 10; ++block)
        expected.push_back(block);
    for (int step = 2; step <= 26; ++step)
        expected.push_back(step * 10);
    EXPECT_EQ(h.progress.PositionsSet(), expected);
    EXPECT_EQ(h.progress.Position(), 260);
    EXPECT_EQ(h.rig.clock.Sleeps(), std::vector<uint32_t>(25, 1250));
}

// The WRITE BUFFER request block: data out without event for blocks, the two halves of the
// transfer buffer in turn, no data for the closing command; always 14 sense bytes and 10 CDB bytes.
TEST(AspiDownload, BlocksUseTheTransferBufferHalvesInTurn) {
    AspiHarness h;
    h.AddDrive({});
    h.files.Add(kFile, Pattern(2 * 16384 + 7232, 3));

    EXPECT_EQ(h.Run(kFile, 0), 1);

    std::vector<sim::AspiLayer::Received> writes;
    for (const auto& request : h.rig.ExecRequests()) {
        if (!request.cdb.empty() && request.cdb[0] == 0x3B)
            writes.push_back(request);
    }
    ASSERT_EQ(writes.size(), 4u);
    const uintptr_t base = reinterpret_cast<uintptr_t>(h.transport->TransferBuffer());
    const uintptr_t buffers[] = {base, base + 16384, base, 0};
    const uint32_t lengths[] = {16384, 16384, 8192, 0};
    for (size_t i = 0; i < writes.size(); ++i) {
        SCOPED_TRACE("WRITE BUFFER " + std::to_string(i));
        EXPECT_EQ(writes[i].flags, lengths[i] > 0 ? kSrbDirectionOut : kSrbNoTransfer);
        EXPECT_EQ(writes[i].buffer, buffers[i]);
        EXPECT_EQ(writes[i].bufferLength, lengths[i]);
        EXPECT_EQ(writes[i].senseLength, 14);
        EXPECT_EQ(writes[i].cdb.size(), 10u);
        EXPECT_EQ(writes[i].postProc, 0u);
        EXPECT_EQ(writes[i].adapter, 0);
        EXPECT_EQ(writes[i].target, AspiHarness::kTarget);
    }
}

// A block the layer never finishes is polled without sleeping until the limit, aborted and
// reported; a refused abort is said as well.
TEST(AspiDownload, NeverFinishingBlockIsGivenUpAndReported) {
    struct Row {
        const char* name;
        bool refusesAbort;
        std::vector<std::string> texts;
    };
    const Row rows[] = {
        {"abort taken", false, {Report(0x02, 0x00)}},
        {"abort refused", true, {"ASPI command error !", Report(0x00, 0x00)}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AspiHarness h;
        h.rig.SpinCosts();
        h.rig.layer.SetRefusesAbort(row.refusesAbort);
        sim::SimulatedDrive& drive = h.AddDrive({});
        sim::Fault fault;
        fault.kind = sim::FaultKind::NeverCompletes;
        fault.commandNumber = 8;  // the second block
        drive.AddFault(fault);
        h.files.Add(kFile, Pattern(3 * 16384, 5));

        EXPECT_EQ(h.Run(kFile, 0), 0);

        const std::vector<std::string> journal = JournalLines(drive);
        ASSERT_EQ(journal.size(), 8u);
        EXPECT_NE(journal.back().find("NEVER"), std::string::npos);
        EXPECT_EQ(h.Messages().Texts(), row.texts);
        EXPECT_EQ(h.rig.AbortRequests(), 1u);
        EXPECT_TRUE(h.rig.clock.Sleeps().empty());
        EXPECT_GE(h.rig.clock.Now(), AspiTransport::kPollLimitMs);
        EXPECT_EQ(h.rig.layer.Outstanding(), row.refusesAbort ? 1u : 0u);
        EXPECT_EQ(h.files.OpenFiles(), 0u);
    }
}

// A TEST UNIT READY of the disc check that never finishes is given up; when its abort is refused
// the drive may still be working on it, so no block follows and the refusal is all that is said.
TEST(AspiDownload, DiscCheckRequestThatCannotBeAbortedStopsTheDownload) {
    struct Row {
        const char* name;
        bool refusesAbort;
        int result;
        size_t writes;
        std::vector<std::string> texts;
    };
    const Row rows[] = {
        {"abort taken", false, 1, 4, {}},
        {"abort refused", true, 0, 0, {"ASPI command error !"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AspiHarness h;
        h.rig.layer.SetRefusesAbort(row.refusesAbort);
        sim::SimulatedDrive& drive = h.AddDrive({});
        sim::Fault fault;
        fault.kind = sim::FaultKind::NeverCompletes;
        fault.commandNumber = 1;  // the disc check's first TEST UNIT READY
        drive.AddFault(fault);
        h.files.Add(kFile, Pattern(3 * 16384, 5));

        EXPECT_EQ(h.Run(kFile, 0), row.result);

        EXPECT_EQ(WriteBuffers(drive).size(), row.writes);
        EXPECT_EQ(drive.ImageComplete(), row.result == 1);
        EXPECT_EQ(h.Messages().Texts(), row.texts);
        EXPECT_EQ(h.download.Outcome().AnythingWritten(), row.writes > 0);
        EXPECT_EQ(h.files.OpenFiles(), 0u);
    }
}

// Given a transport whose library could not be loaded (the update command stops before this, so
// only this test reaches it), the download adds nothing to the load's message: no file, no
// command, no wait.
TEST(AspiDownload, NothingHappensWithoutTheLibrary) {
    AspiHarness h;
    h.rig.layer.SetPresent(false);
    sim::SimulatedDrive& drive = h.AddDrive({});
    h.files.Add(kFile, Pattern(5000, 1));

    h.transport = h.rig.MakeTransport();
    EXPECT_FALSE(h.transport->LoadAspi());
    EXPECT_EQ(h.download.DownloadFirmware(*h.transport, 0, AspiHarness::kTarget, 0, "CDRW-8432", 0,
                                          kFile, h.progress),
              0);

    EXPECT_EQ(h.Messages().Texts(), std::vector<std::string>{"ASPI load error !"});
    EXPECT_TRUE(drive.Journal().empty());
    EXPECT_EQ(h.files.Opens(), 0);
    EXPECT_TRUE(h.progress.Messages().empty());
    EXPECT_TRUE(h.rig.clock.Sleeps().empty());
}

}  // namespace
}  // namespace quillet::test
