// The ASPI transport over the in-process simulated layer, all on a virtual clock: event waits
// let the layer's time run and every sleep lets due requests finish. Readings of the clock are
// free unless a test sets a time per reading (SpinCosts); then each reading also lets due
// requests finish, so a poll that never sleeps still sees them and still reaches its limit.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "device/aspi_transport.h"
#include "platform/recorded_message_box.h"
#include "platform/virtual_clock.h"
#include "sim/aspi_layer.h"
#include "sim/events.h"
#include "sim/simulated_drive.h"

namespace quillet::test {

class AspiRig {
public:
    AspiRig() {
        events.Follow(layer);
        clock.SetOnSleep([this](uint32_t) { layer.CompleteDue(); });
        clock.SetOnReading([this] { layer.CompleteDue(); });
    }

    // Every reading of the clock takes a virtual millisecond from now on.
    void SpinCosts() { clock.SetTimePerReading(1); }

    // A drive owned by the rig, placed at the address.
    sim::SimulatedDrive& AddDrive(int adapter, int target, int lun, sim::DriveModel model = {}) {
        drives.push_back(std::make_unique<sim::SimulatedDrive>(std::move(model)));
        layer.AddDrive(adapter, target, lun, *drives.back());
        return *drives.back();
    }

    std::unique_ptr<AspiTransport> MakeTransport() {
        return std::make_unique<AspiTransport>(layer, events, clock, messages, keep);
    }

    // A transport that has loaded the library (and nothing else shown).
    std::unique_ptr<AspiTransport> LoadedTransport() {
        auto transport = MakeTransport();
        EXPECT_TRUE(transport->LoadAspi());
        return transport;
    }

    // The execute requests the layer received, in order.
    std::vector<sim::AspiLayer::Received> ExecRequests() const {
        std::vector<sim::AspiLayer::Received> found;
        for (const auto& r : layer.Requests()) {
            if (r.command == kSrbExecScsiCommand)
                found.push_back(r);
        }
        return found;
    }
    size_t AbortRequests() const {
        size_t count = 0;
        for (const auto& r : layer.Requests())
            count += r.command == kSrbAbort ? 1 : 0;
        return count;
    }

    RequestKeep keep;  // outlives the layer, which may finish a given-up request at any time
    VirtualClock clock;
    sim::SimulatedEvents events{clock};
    sim::AspiLayer layer{clock, events};
    RecordedMessageBox messages{"QuilletUnderTest"};
    std::vector<std::unique_ptr<sim::SimulatedDrive>> drives;
};

}  // namespace quillet::test
