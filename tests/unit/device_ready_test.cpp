// Waiting for a drive to become ready, on both transports, against the simulated drive and a
// virtual clock: where each side stops, how often it sleeps, and what it sends.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "device/commands.h"
#include "platform/virtual_clock.h"
#include "sim/direct_transport.h"
#include "sim/simulated_drive.h"

namespace quillet {
namespace {

struct ReadyRow {
    const char* name;
    TransportKind kind;
    sim::DriveModel model;
    // Changes the drive after the n-th sleep (1-based); 0 for never.
    uint32_t changeAfterSleep;
    std::function<void(sim::SimulatedDrive&)> change;
    bool ready;
    size_t sleeps;
};

sim::DriveModel Model(bool disc, bool trayOpen, bool loadClosesTray = true,
                      uint32_t becomingReady = 0) {
    sim::DriveModel model;
    model.discPresent = disc;
    model.trayOpen = trayOpen;
    model.loadClosesTray = loadClosesTray;
    model.becomingReadyCommands = becomingReady;
    return model;
}

TEST(WaitUntilReady, StopsAsEachTransportSays) {
    auto closeTray = [](sim::SimulatedDrive& d) { d.SetTrayOpen(false); };
    const std::vector<ReadyRow> rows = {
        {"ASPI, disc ready", TransportKind::Aspi, Model(true, false), 0, nullptr, true, 0},
        {"pass-through, disc ready", TransportKind::PassThrough, Model(true, false), 0, nullptr,
         true, 0},
        {"ASPI, no disc, tray closed", TransportKind::Aspi, Model(false, false), 0, nullptr, true,
         0},
        {"pass-through, no disc, tray closed", TransportKind::PassThrough, Model(false, false), 0,
         nullptr, true, 0},
        {"ASPI, tray stays open: no medium ends the wait", TransportKind::Aspi,
         Model(false, true, false), 0, nullptr, true, 0},
        {"pass-through, tray stays open: all 40 attempts", TransportKind::PassThrough,
         Model(false, true, false), 0, nullptr, false, 40},
        {"pass-through, tray closed by hand after 3 waits", TransportKind::PassThrough,
         Model(false, true, false), 3, closeTray, true, 3},
        {"pass-through, load closes an open tray", TransportKind::PassThrough,
         Model(false, true, true), 0, nullptr, true, 0},
        {"ASPI, becoming ready twice", TransportKind::Aspi, Model(true, false, true, 2), 0, nullptr,
         true, 2},
        {"pass-through, becoming ready twice", TransportKind::PassThrough,
         Model(true, false, true, 2), 0, nullptr, true, 2},
        {"ASPI, never ready", TransportKind::Aspi, Model(true, false, true, 1000), 0, nullptr,
         false, 40},
        {"pass-through, never ready", TransportKind::PassThrough, Model(true, false, true, 1000), 0,
         nullptr, false, 40},
        {"ASPI, ready on the 40th attempt", TransportKind::Aspi, Model(true, false, true, 39), 0,
         nullptr, true, 39},
    };
    for (const ReadyRow& row : rows) {
        SCOPED_TRACE(row.name);
        sim::SimulatedDrive drive(row.model);
        sim::DirectTransport transport;
        DriveAddress address;
        address.target = 2;
        transport.AddDrive(address, drive);
        VirtualClock clock;
        clock.SetOnSleep([&](uint32_t) {
            if (row.change && clock.Sleeps().size() == row.changeAfterSleep)
                row.change(drive);
        });

        bool ready = row.kind == TransportKind::Aspi
                         ? AspiCommands(transport, clock).WaitUntilReady(address)
                         : PassThroughCommands(transport, clock).WaitUntilReady(address);

        EXPECT_EQ(ready, row.ready);
        EXPECT_EQ(clock.Sleeps(), std::vector<uint32_t>(row.sleeps, 625u))
            << "a failed attempt, the last one included, is followed by 625 ms";
        // One START STOP UNIT load, then one TEST UNIT READY per attempt.
        const auto& journal = drive.Journal();
        ASSERT_GE(journal.size(), 2u);
        EXPECT_EQ(journal[0].cdb, (std::vector<uint8_t>{0x1B, 0, 0, 0, 0x03, 0}));
        size_t attempts = row.ready ? row.sleeps + 1 : 40;
        EXPECT_EQ(journal.size(), attempts + 1);
        for (size_t i = 1; i < journal.size(); ++i) {
            EXPECT_EQ(journal[i].cdb, (std::vector<uint8_t>(6, 0))) << "command " << i;
        }
    }
}

TEST(WaitUntilReady, NeverReadyTakesTwentyFiveSecondsOfWaiting) {
    sim::SimulatedDrive drive(Model(true, false, true, 1000));
    sim::DirectTransport transport;
    DriveAddress address;
    address.letter = 'E';
    transport.AddDrive(address, drive);
    VirtualClock clock;
    EXPECT_FALSE(PassThroughCommands(transport, clock).WaitUntilReady(address));
    EXPECT_EQ(clock.TotalSlept(), 40u * 625u);
}

TEST(WaitUntilReady, UnreachableDriveIsNotReady) {
    sim::DirectTransport transport;  // nothing at any address
    VirtualClock clock;
    DriveAddress address;
    EXPECT_FALSE(AspiCommands(transport, clock).WaitUntilReady(address));
    EXPECT_FALSE(PassThroughCommands(transport, clock).WaitUntilReady(address));
    EXPECT_EQ(clock.Sleeps().size(), 80u);
}

TEST(SimulatedDriveIdentification, BothTransportsOverTheModel) {
    struct Row {
        const char* name;
        sim::DriveModel model;
        int aspi;
        bool passThrough;
    };
    sim::DriveModel lower;
    lower.vendor = "korvin  ";
    sim::DriveModel qualified;
    qualified.peripheral = 0x25;
    sim::DriveModel other;
    other.vendor = "TARVEX  ";
    const Row rows[] = {
        {"maker's drive", sim::DriveModel{}, 5, true},
        {"lower-case vendor", lower, -1, true},
        {"qualifier 1", qualified, 5, false},
        {"other vendor", other, -1, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::SimulatedDrive drive(row.model);
        sim::DirectTransport transport;
        DriveAddress address;
        transport.AddDrive(address, drive);
        VirtualClock clock;
        DriveIdentity aspi, passThrough;
        EXPECT_EQ(AspiCommands(transport, clock).IdentifyDrive(address, &aspi), row.aspi);
        EXPECT_EQ(PassThroughCommands(transport, clock).IdentifyDrive(address, &passThrough),
                  row.passThrough);
        if (row.passThrough) {
            EXPECT_EQ(passThrough.revision, row.model.revision);
            EXPECT_EQ(passThrough.text.size(), 28u);
        }
    }
}

}  // namespace
}  // namespace quillet
