#include "sim/direct_transport.h"

#include <algorithm>
#include <cctype>

namespace quillet::sim {

namespace {

constexpr uint8_t kRequestNoDevice = 0x82;  // ASPI: the addressed device is not installed
constexpr uint8_t kHostDataOverUnderRun = 0x12;

bool SameLetter(char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) ==
           std::toupper(static_cast<unsigned char>(b));
}

bool Matches(const DriveAddress& key, const DriveAddress& address) {
    if (address.letter != 0) {
        return SameLetter(key.letter, address.letter);
    }
    return key.letter == 0 && key.hostAdapter == address.hostAdapter &&
           key.target == address.target && key.lun == address.lun;
}

Direction ToDirection(DataDirection direction) {
    switch (direction) {
        case DataDirection::In:
            return Direction::In;
        case DataDirection::Out:
            return Direction::Out;
        case DataDirection::None:
            break;
    }
    return Direction::None;
}

}  // namespace

void DirectTransport::AddDrive(const DriveAddress& key, SimulatedDrive& drive) {
    for (Slot& slot : slots_) {
        if (Matches(slot.key, key)) {
            slot.drive = &drive;
            return;
        }
    }
    slots_.push_back(Slot{key, &drive});
}

SimulatedDrive* DirectTransport::Find(const DriveAddress& address) const {
    for (const Slot& slot : slots_) {
        if (Matches(slot.key, address)) {
            return slot.drive->Gone() ? nullptr : slot.drive;
        }
    }
    return nullptr;
}

bool DirectTransport::Execute(const DriveAddress& address, ScsiRequest& request) {
    ++calls_;
    request.hostStatus = kHostOk;
    request.targetStatus = kStatusGood;
    request.sense.fill(0);
    request.ioControlSucceeded = false;

    SimulatedDrive* drive = Find(address);
    if (drive == nullptr) {
        request.requestStatus = kRequestNoDevice;
        return false;
    }

    TargetCommand command;
    command.cdb = request.cdb;
    command.cdbLength = request.cdbLength;
    command.direction = ToDirection(request.direction);
    command.data = request.data;
    command.dataLength = request.dataLength;
    const TargetResult result = drive->Execute(command);

    if (result.outcome == Outcome::NeverCompletes) {
        request.requestStatus = kRequestAborted;
        return false;
    }
    const bool overOrUnderRun = result.cut || result.overrun > 0;
    request.requestStatus =
        result.status == kStatusGood && !overOrUnderRun ? kRequestCompleted : kRequestError;
    request.hostStatus = overOrUnderRun ? kHostDataOverUnderRun : kHostOk;
    request.targetStatus = result.status;
    const size_t senseCount = std::min<size_t>(request.senseLength, result.sense.size());
    std::copy_n(result.sense.begin(), senseCount, request.sense.begin());
    request.ioControlSucceeded = true;
    return true;
}

}  // namespace quillet::sim
