// Requests through the ASPI transport over the simulated layer: the event wait with its abort,
// polling with its period and limit, and the request blocks built from each command.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/aspi_rig.h"

namespace quillet {
namespace {

using test::AspiRig;

sim::Fault Never(uint8_t opcode) {
    sim::Fault fault;
    fault.kind = sim::FaultKind::NeverCompletes;
    fault.opcode = opcode;
    return fault;
}

DriveAddress At(int adapter, int target, int lun) {
    DriveAddress address;
    address.hostAdapter = adapter;
    address.target = target;
    address.lun = lun;
    return address;
}

struct EventRow {
    const char* name;
    uint32_t delay;     // layer completion delay
    bool inquiryNever;  // the first drive's INQUIRY never finishes
    bool refusesAbort;
    WaitOutcome outcome;  // of the first drive's wait (none when it finished at once)
    uint64_t waited;
    const char* message;  // nullptr: none
};

TEST(AspiEventWait, InquiryFinishesOrIsAbortedAfterTenSeconds) {
    const std::vector<EventRow> rows = {
        {"finishes at once", 0, false, false, WaitOutcome::Failed, 0, nullptr},
        {"finishes after 3 s", 3000, false, false, WaitOutcome::Signalled, 3000, nullptr},
        {"never finishes, aborted", 0, true, false, WaitOutcome::TimedOut, 10000, nullptr},
        {"never finishes, abort refused", 0, true, true, WaitOutcome::TimedOut, 10000,
         "ASPI command error !"},
    };
    for (const EventRow& row : rows) {
        SCOPED_TRACE(row.name);
        AspiRig rig;
        rig.layer.AddAdapter(7);
        rig.layer.SetCompletionDelay(row.delay);
        rig.layer.SetRefusesAbort(row.refusesAbort);
        sim::SimulatedDrive& first = rig.AddDrive(0, 1, 0);
        if (row.inquiryNever)
            first.AddFault(Never(0x12));
        rig.AddDrive(0, 2, 0);
        auto transport = rig.LoadedTransport();

        transport->ScanAdapters();

        std::vector<int> targets;
        for (int i = 0; i < transport->DriveCount(); ++i)
            targets.push_back(transport->Address(i).target);
        EXPECT_EQ(targets, (row.inquiryNever ? std::vector<int>{2} : std::vector<int>{1, 2}));
        const auto& waits = rig.events.Waits();
        if (row.outcome == WaitOutcome::Failed) {
            EXPECT_TRUE(waits.empty());
        } else {
            ASSERT_FALSE(waits.empty());
            EXPECT_EQ(waits[0].limit, 10000u);
            EXPECT_EQ(waits[0].outcome, row.outcome);
            EXPECT_EQ(waits[0].waited, row.waited);
        }
        EXPECT_EQ(rig.AbortRequests(), row.inquiryNever ? 1u : 0u);
        EXPECT_EQ(rig.messages.Texts(),
                  row.message ? std::vector<std::string>{row.message} : std::vector<std::string>{});
        // A given-up request's event stays open for good: the library may still signal it.
        transport.reset();
        EXPECT_EQ(rig.events.OpenCount(), row.inquiryNever ? 1u : 0u);
    }
}

// A request given up (its wait timed out or failed, or its poll reached the limit) and not
// aborted finishes after the transport and the library are gone: everything it writes is memory
// the keep still owns, and the event it signals is still open.
TEST(AspiEventWait, LateCompletionWritesOnlyKeptMemory) {
    enum class Way { EventTimesOut, EventWaitFails, LentBlockPolled };
    for (Way way : {Way::EventTimesOut, Way::EventWaitFails, Way::LentBlockPolled}) {
        SCOPED_TRACE(static_cast<int>(way));
        AspiRig rig;
        rig.layer.AddAdapter(7);
        rig.layer.SetCompletionDelay(AspiTransport::kPollLimitMs + 10000);
        rig.layer.SetRefusesAbort(true);
        rig.AddDrive(0, 0, 0);
        rig.events.SetWaitFails(way == Way::EventWaitFails);
        rig.SpinCosts();
        auto transport = rig.LoadedTransport();
        if (way == Way::LentBlockPolled) {
            SrbExecScsiCommand& block = transport->WriteBufferBlock();
            block = AddressedExecBlock(At(0, 0, 0));
            block.SRB_Flags = kSrbDirectionOut;
            block.SRB_BufLen = 16;
            block.SRB_BufPointer = transport->TransferBuffer();
            block.SRB_CDBLen = 10;
            block.CDBByte[0] = 0x3B;
            EXPECT_FALSE(transport->ExecuteBlock(block, Completion::PollBusy));
            // Lent afresh: the next download cannot reuse what the library still holds.
            EXPECT_NE(&transport->WriteBufferBlock(), &block);
        } else {
            std::string tag;
            EXPECT_FALSE(transport->ReadFirmwareTag(At(0, 0, 0), &tag));
        }
        EXPECT_EQ(rig.AbortRequests(), 1u);
        transport.reset();
        EXPECT_FALSE(rig.layer.Loaded());

        rig.clock.Sleep(AspiTransport::kPollLimitMs + 10000);

        EXPECT_EQ(rig.layer.Outstanding(), 0u);
        const auto requests = rig.ExecRequests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_TRUE(rig.keep.Holds(reinterpret_cast<const void*>(requests[0].block),
                                   sizeof(SrbExecScsiCommand)));
        EXPECT_TRUE(rig.keep.Holds(reinterpret_cast<const void*>(requests[0].buffer),
                                   requests[0].bufferLength));
        EXPECT_EQ(rig.events.OpenCount(), way == Way::LentBlockPolled ? 0u : 1u);
        EXPECT_LE(rig.keep.Bytes(), RequestKeep::kMaxBytes);
    }
}

TEST(AspiEventWait, NoEventNoRequest) {
    AspiRig rig;
    rig.layer.AddAdapter(7);
    rig.AddDrive(0, 0, 0);
    auto transport = rig.LoadedTransport();
    rig.events.SetCreateFails(true);
    std::string tag;
    EXPECT_FALSE(transport->ReadFirmwareTag(At(0, 0, 0), &tag));
    EXPECT_TRUE(rig.ExecRequests().empty());
}

struct PollRow {
    const char* name;
    uint32_t delay;
    bool never;
    bool refusesAbort;
    int result;
    size_t sleeps;  // each of 1250 ms
    const char* message;
};

TEST(AspiPolling, TestUnitReadyLooksEvery1250MsAndGivesUpAfterAMinute) {
    const std::vector<PollRow> rows = {
        {"finishes at once", 0, false, false, 0, 0, nullptr},
        {"finishes after 3 s", 3000, false, false, 0, 3, nullptr},
        {"finishes after 59 s", 59000, false, false, 0, 48, nullptr},
        {"never finishes, aborted", 0, true, false, -1, 48, nullptr},
        {"never finishes, abort refused", 0, true, true, -1, 48, "ASPI command error !"},
    };
    for (const PollRow& row : rows) {
        SCOPED_TRACE(row.name);
        AspiRig rig;
        rig.layer.AddAdapter(7);
        rig.layer.SetCompletionDelay(row.delay);
        rig.layer.SetRefusesAbort(row.refusesAbort);
        sim::DriveModel model;
        model.discPresent = true;
        sim::SimulatedDrive& drive = rig.AddDrive(0, 4, 1, model);
        if (row.never)
            drive.AddFault(Never(0x00));
        auto transport = rig.LoadedTransport();

        EXPECT_EQ(transport->TestUnitReady(At(0, 4, 1)), row.result);

        EXPECT_EQ(rig.clock.Sleeps(), std::vector<uint32_t>(row.sleeps, 1250));
        EXPECT_TRUE(rig.events.Waits().empty());
        EXPECT_EQ(rig.AbortRequests(), row.never ? 1u : 0u);
        EXPECT_EQ(rig.messages.Texts(),
                  row.message ? std::vector<std::string>{row.message} : std::vector<std::string>{});
        const auto sent = rig.ExecRequests();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].flags, kSrbNoTransfer);
        EXPECT_EQ(sent[0].postProc, 0u);
        EXPECT_EQ(sent[0].bufferLength, 0u);
        EXPECT_EQ(sent[0].buffer, 0u);
    }
}

TEST(AspiExecute, ResultsAndSenseComeBackToTheRequest) {
    AspiRig rig;
    rig.layer.AddAdapter(7);
    rig.AddDrive(0, 0, 0);  // tray closed, no disc
    auto transport = rig.LoadedTransport();

    ScsiRequest request;
    EXPECT_EQ(transport->TestUnitReady(At(0, 0, 0), &request), -1);
    EXPECT_EQ(request.requestStatus, kRequestError);
    EXPECT_EQ(request.hostStatus, kHostOk);
    EXPECT_EQ(request.targetStatus, kStatusCheckCondition);
    EXPECT_EQ(request.sense[2], 0x02);
    EXPECT_EQ(request.sense[12], 0x3A);
    EXPECT_EQ(request.sense[13], 0x01);
    EXPECT_EQ(request.sense[14], 0);  // only the 14 bytes asked for

    // Nothing at the address: the library says so and the command fails.
    ScsiRequest missing;
    EXPECT_EQ(transport->TestUnitReady(At(0, 3, 0), &missing), -1);
    EXPECT_EQ(missing.requestStatus, kRequestNoDevice);
}

// The platform's own events (Windows events in the Windows build), with waits of 0 ms only.
TEST(SystemEventsService, OneSignalReleasesOneWait) {
    SystemEvents events;
    const EventHandle event = events.Create();
    ASSERT_NE(event, kNoEvent);
    EXPECT_EQ(events.Wait(event, 0), WaitOutcome::TimedOut);  // created unsignalled
    EXPECT_TRUE(events.Signal(event));
    EXPECT_EQ(events.Wait(event, 0), WaitOutcome::Signalled);
    EXPECT_EQ(events.Wait(event, 0), WaitOutcome::TimedOut);  // auto-reset
    const EventHandle other = events.Create();
    EXPECT_NE(other, event);
    EXPECT_TRUE(events.Signal(other));
    EXPECT_EQ(events.Wait(event, 0), WaitOutcome::TimedOut);
    EXPECT_EQ(events.Wait(other, 0), WaitOutcome::Signalled);
    events.Close(event);
    events.Close(other);
}

}  // namespace
}  // namespace quillet
