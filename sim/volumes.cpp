#include "sim/volumes.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/pass_through_record.h"

namespace quillet::sim {

namespace {

char Upper(char letter) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
}

Direction DirectionOf(uint8_t dataIn) {
    switch (dataIn) {
        case kPassThroughDataIn:
            return Direction::In;
        case kPassThroughDataOut:
            return Direction::Out;
        default:
            return Direction::None;
    }
}

}  // namespace

void SimulatedVolumes::MapDrive(char letter, SimulatedDrive& drive) {
    drives_[Upper(letter)] = &drive;
}

void SimulatedVolumes::SetIoControlFails(char letter, bool fails) {
    failing_[Upper(letter)] = fails;
}

void SimulatedVolumes::SetOpenFails(char letter, bool fails) {
    openFails_[Upper(letter)] = fails;
}

void SimulatedVolumes::SetMediaChangeRefused(char letter, uint8_t value, bool refused) {
    refusedSwitches_[{Upper(letter), value}] = refused;
}

VolumeHandle SimulatedVolumes::Open(char letter, VolumeAccess access) {
    opens_.push_back(Opened{letter, access});
    const char upper = Upper(letter);
    auto fails = openFails_.find(upper);
    auto drive = drives_.find(upper);
    if (drive == drives_.end() || drive->second->Gone() ||
        (fails != openFails_.end() && fails->second))
        return kInvalidVolumeHandle;
    const VolumeHandle handle = next_++;
    handles_[handle] = Handle{upper, access};
    return handle;
}

void SimulatedVolumes::Close(VolumeHandle handle) {
    if (handles_.erase(handle) == 0)
        ++badCloses_;
}

bool SimulatedVolumes::IoControl(VolumeHandle handle, uint32_t code, void* in, uint32_t inLength,
                                 void* out, uint32_t outLength, uint32_t* returned) {
    if (returned)
        *returned = 0;
    Call call;
    call.code = code;
    call.outLength = outLength;
    if (in != nullptr)
        call.in.assign(static_cast<uint8_t*>(in), static_cast<uint8_t*>(in) + inLength);

    auto found = handles_.find(handle);
    bool succeeded = false;
    if (found != handles_.end()) {
        const Handle& opened = found->second;
        call.letter = opened.letter;
        auto failing = failing_.find(opened.letter);
        // A removed device fails every request on the handles still open to it.
        if ((failing != failing_.end() && failing->second) || drives_.at(opened.letter)->Gone()) {
            succeeded = false;
        } else if (code == kIoctlScsiPassThroughDirect) {
            // Commands need read and write access; a query-only handle is refused.
            succeeded = opened.access == VolumeAccess::ReadWrite &&
                        PassThrough(opened, static_cast<uint8_t*>(in), inLength,
                                    static_cast<uint8_t*>(out), outLength, returned);
        } else if (code == kIoctlStorageMcnControl) {
            succeeded = in != nullptr && inLength == sizeof(PreventMediaRemoval);
            if (succeeded) {
                auto refused = refusedSwitches_.find({opened.letter, static_cast<uint8_t*>(in)[0]});
                succeeded = refused == refusedSwitches_.end() || !refused->second;
            }
            if (succeeded)
                switches_.push_back(Switch{opened.letter, static_cast<uint8_t*>(in)[0]});
        }
    }
    call.succeeded = succeeded;
    if (keepCalls_)
        calls_.push_back(std::move(call));
    return succeeded;
}

bool SimulatedVolumes::PassThrough(const Handle& handle, uint8_t* in, uint32_t inLength,
                                   uint8_t* out, uint32_t outLength, uint32_t* returned) {
    if (out == nullptr)
        return false;
    PassThroughFields fields;
    if (!DecodePassThroughRecord(in, inLength, outLength, &fields))
        return false;
    SimulatedDrive& drive = *drives_.at(handle.letter);
    TargetCommand command;
    std::copy_n(fields.cdb.begin(), fields.cdbLength, command.cdb.begin());
    command.cdbLength = fields.cdbLength;
    command.direction = DirectionOf(fields.dataIn);
    command.data = static_cast<uint8_t*>(fields.data);
    command.dataLength = fields.dataLength;
    const TargetResult result = drive.Execute(command);
    if (result.outcome == Outcome::NeverCompletes) {
        // The storage stack gives up at the record's time-out.
        if (clock_)
            clock_->Advance(uint64_t{fields.timeoutSeconds} * 1000);
        return false;
    }
    if (out != in)
        std::memcpy(out, in, std::min(inLength, outLength));
    SetPassThroughRecordStatus(out, result.status);
    SetPassThroughRecordTransferred(out, result.transferred + result.overrun);
    const size_t senseCount = std::min<size_t>(fields.senseLength, result.sense.size());
    std::memset(out + fields.senseOffset, 0, fields.senseLength);
    std::memcpy(out + fields.senseOffset, result.sense.data(), senseCount);
    if (returned)
        *returned = fields.senseOffset + fields.senseLength;
    return true;
}

}  // namespace quillet::sim
