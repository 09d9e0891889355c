// Waiting for a drive to become ready, on both transports, against the simulated drive and a
// virtual clock: where each side stops, how often it sleeps, and what it sends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/commands.h"
#include "platform/virtual_clock.h"
#include "sim/direct_transport.h"
#include "sim/simulated_drive.h"

namespace quillet {
namespace {

constexpr int kNeverReady = -1;  // all 40 attempts fail, each followed by a sleep

struct ReadyRow {
    const char* name;
    sim::DriveModel model;
    uint32_t closeTrayAfterSleep;  // 1-based; 0 for never
    int aspiSleeps;                // sleeps before the drive is ready, or kNeverReady
    int passThroughSleeps;
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

// ASPI takes no medium as ready whatever the tray; pass-through waits for a closed tray.
TEST(WaitUntilReady, StopsAsEachTransportSays) {
    const std::vector<ReadyRow> rows = {
        {"disc ready", Model(true, false), 0, 0, 0},
        {"no disc, tray closed", Model(false, false), 0, 0, 0},
        {"tray stays open", Model(false, true, false), 0, 0, kNeverReady},
        {"tray closed by hand after 3 waits", Model(false, true, false), 3, 0, 3},
        {"load closes an open tray", Model(false, true, true), 0, 0, 0},
        {"becoming ready twice", Model(true, false, true, 2), 0, 2, 2},
        {"never ready", Model(true, false, true, 1000), 0, kNeverReady, kNeverReady},
        {"ready on the 40th attempt", Model(true, false, true, 39), 0, 39, 39},
    };
    for (const ReadyRow& row : rows) {
        for (TransportKind kind : {TransportKind::Aspi, TransportKind::PassThrough}) {
            const bool aspi = kind == TransportKind::Aspi;
            SCOPED_TRACE(std::string(aspi ? "ASPI, " : "pass-through, ") + row.name);
            sim::SimulatedDrive drive(row.model);
            sim::DirectTransport transport;
            DriveAddress address;
            address.target = 2;
            transport.AddDrive(address, drive);
            VirtualClock clock;
            clock.SetOnSleep([&](uint32_t) {
                if (clock.Sleeps().size() == row.closeTrayAfterSleep)
                    drive.SetTrayOpen(false);
            });

            const bool ready = aspi ? AspiCommands(transport, clock).WaitUntilReady(address)
                                    : PassThroughCommands(transport, clock).WaitUntilReady(address);

            const int expected = aspi ? row.aspiSleeps : row.passThroughSleeps;
            EXPECT_EQ(ready, expected != kNeverReady);
            const size_t sleeps = expected == kNeverReady ? 40 : static_cast<size_t>(expected);
            EXPECT_EQ(clock.Sleeps(), std::vector<uint32_t>(sleeps, 625u))
                << "a failed attempt, the last one included, is followed by 625 ms";
            // One START STOP UNIT load, then one TEST UNIT READY per attempt.
            const auto& journal = drive.Journal();
            ASSERT_GE(journal.size(), 2u);
            EXPECT_EQ(journal[0].cdb, (std::vector<uint8_t>{0x1B, 0, 0, 0, 0x03, 0}));
            const size_t attempts = ready ? sleeps + 1 : 40;
            EXPECT_EQ(journal.size(), attempts + 1);
            for (size_t i = 1; i < journal.size(); ++i) {
                EXPECT_EQ(journal[i].cdb, (std::vector<uint8_t>(6, 0))) << "command " << i;
            }
        }
    }
}

TEST(WaitUntilReady, UnreachableDriveIsNotReady) {
    sim::DirectTransport transport;  // nothing at any address
    VirtualClock clock;
    DriveAddress address;
    EXPECT_FALSE(AspiCommands(transport, clock).WaitUntilReady(address));
    EXPECT_FALSE(PassThroughCommands(transport, clock).WaitUntilReady(address));
    EXPECT_EQ(clock.Sleeps().size(), 80u);
}

}  // namespace
}  // namespace quillet
