#include "sim/aspi_layer.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "device/scsi.h"

namespace quillet::sim {

namespace {

constexpr int kTargets = 8;
constexpr int kLuns = 8;
constexpr uint8_t kHostDataOverUnderRun = 0x12;
const char kManager[] = "QUILLET SIM";  // the manager identifier a host adapter inquiry shows

Direction DirectionOf(uint8_t flags) {
    switch (flags & kSrbDirectionMask) {
        case kSrbDirectionIn:
            return Direction::In;
        case kSrbDirectionOut:
            return Direction::Out;
        default:
            return Direction::None;
    }
}

}  // namespace

AspiLayer::AspiLayer(Clock& clock, EventService& events) : clock_(clock), events_(events) {}

void AspiLayer::SetEntryPoints(bool supportInfo, bool sendCommand) {
    supportEntry_ = supportInfo;
    sendEntry_ = sendCommand;
}

int AspiLayer::AddAdapter(uint8_t ownScsiId, bool answersInquiry) {
    Adapter adapter;
    adapter.ownScsiId = ownScsiId;
    adapter.answersInquiry = answersInquiry;
    adapters_.push_back(adapter);
    return static_cast<int>(adapters_.size()) - 1;
}

void AspiLayer::AddDrive(int adapter, int target, int lun, SimulatedDrive& drive) {
    if (adapter < 0 || adapter >= static_cast<int>(adapters_.size()))
        return;
    // Off the bus the key would name another address (unit 8 of target 0 is target 1), or not fit.
    if (target < 0 || target >= kTargets || lun < 0 || lun >= kLuns)
        return;
    auto& drives = adapters_[static_cast<size_t>(adapter)].drives;
    const int key = target * kLuns + lun;
    for (auto& entry : drives) {
        if (entry.first == key) {
            entry.second = &drive;
            return;
        }
    }
    drives.emplace_back(key, &drive);
}

SimulatedDrive* AspiLayer::DriveAt(const Adapter& adapter, int target, int lun) const {
    if (target < 0 || target >= kTargets || lun < 0 || lun >= kLuns)
        return nullptr;
    for (const auto& entry : adapter.drives) {
        if (entry.first == target * kLuns + lun)
            return entry.second->Gone() ? nullptr : entry.second;
    }
    return nullptr;
}

bool AspiLayer::Load(const std::string& name) {
    if (!present_)
        return false;
    ++references_;
    ++loads_;
    loadedName_ = name;
    return true;
}

bool AspiLayer::HasEntryPoints() {
    if (!Loaded())
        ++callsWhileUnloaded_;
    return supportEntry_ && sendEntry_;
}

uint32_t AspiLayer::GetSupportInfo() {
    if (!Loaded())
        ++callsWhileUnloaded_;
    if (supportOverride_)
        return *supportOverride_;
    const uint32_t count = static_cast<uint32_t>(std::min<size_t>(adapters_.size(), 0xFF));
    return (uint32_t{supportStatus_} << 8) | count;
}

void AspiLayer::Free() {
    ++frees_;
    if (references_ > 0)
        --references_;
}

uint32_t AspiLayer::SendCommand(void* requestBlock) {
    if (!Loaded())
        ++callsWhileUnloaded_;
    CompleteDue();
    if (requestBlock == nullptr)
        return kRequestInvalid;
    const uint8_t command = *static_cast<const uint8_t*>(requestBlock);
    switch (command) {
        case kSrbHostAdapterInquiry:
            return HostAdapterInquiry(*static_cast<SrbHostAdapterInquiry*>(requestBlock));
        case kSrbExecScsiCommand:
            return ExecScsiCommand(*static_cast<SrbExecScsiCommand*>(requestBlock));
        case kSrbAbort:
            return AbortRequest(*static_cast<SrbAbort*>(requestBlock));
        default: {
            Received received;
            received.command = command;
            received.returned = kRequestInvalid;
            Record(std::move(received));
            static_cast<uint8_t*>(requestBlock)[1] = kRequestInvalid;
            return kRequestInvalid;
        }
    }
}

uint32_t AspiLayer::HostAdapterInquiry(SrbHostAdapterInquiry& block) {
    Received received;
    received.command = block.SRB_Cmd;
    received.adapter = block.SRB_HaId;
    uint8_t status = kRequestCompleted;
    if (block.SRB_HaId >= adapters_.size()) {
        status = kRequestInvalidAdapter;
    } else if (!adapters_[block.SRB_HaId].answersInquiry) {
        status = kRequestError;
    } else {
        block.HA_Count = static_cast<uint8_t>(adapters_.size());
        block.HA_SCSI_ID = adapters_[block.SRB_HaId].ownScsiId;
        std::memset(block.HA_Info, 0, sizeof block.HA_Info);
        std::memcpy(block.HA_Info, kManager, sizeof kManager - 1);
    }
    block.SRB_Status = status;
    received.returned = status;
    Record(std::move(received));
    return status;
}

uint32_t AspiLayer::ExecScsiCommand(SrbExecScsiCommand& block) {
    Received received;
    received.block = reinterpret_cast<uintptr_t>(&block);
    received.command = block.SRB_Cmd;
    received.adapter = block.SRB_HaId;
    received.target = block.SRB_Target;
    received.lun = block.SRB_Lun;
    received.flags = block.SRB_Flags;
    received.bufferLength = block.SRB_BufLen;
    received.buffer = reinterpret_cast<uintptr_t>(block.SRB_BufPointer);
    received.senseLength = block.SRB_SenseLen;
    received.cdb.assign(block.CDBByte, block.CDBByte + std::min<size_t>(block.SRB_CDBLen, 16));
    received.postProc = reinterpret_cast<uintptr_t>(block.SRB_PostProc);

    SimulatedDrive* drive = nullptr;
    uint8_t status = kRequestPending;
    if (block.SRB_HaId >= adapters_.size()) {
        status = kRequestInvalidAdapter;
    } else if (block.SRB_CDBLen == 0 || block.SRB_CDBLen > 16 ||
               (block.SRB_BufLen > 0 && block.SRB_BufPointer == nullptr)) {
        status = kRequestInvalid;
    } else {
        drive = DriveAt(adapters_[block.SRB_HaId], block.SRB_Target, block.SRB_Lun);
        if (drive == nullptr)
            status = kRequestNoDevice;
    }
    if (drive == nullptr) {
        block.SRB_Status = status;
        received.returned = status;
        Record(std::move(received));
        return status;
    }

    block.SRB_Status = kRequestPending;
    block.SRB_HaStat = 0;
    block.SRB_TargStat = 0;
    Pending pending;
    pending.block = &block;
    TargetCommand command;
    std::copy_n(block.CDBByte, block.SRB_CDBLen, command.cdb.begin());
    command.cdbLength = block.SRB_CDBLen;
    command.direction = DirectionOf(block.SRB_Flags);
    command.dataLength = block.SRB_BufLen;
    // The drive takes the command now; what it reads back reaches the caller's buffer only when
    // the request finishes.
    if (command.direction == Direction::In && block.SRB_BufLen > 0) {
        pending.data.assign(block.SRB_BufPointer, block.SRB_BufPointer + block.SRB_BufLen);
        command.data = pending.data.data();
    } else {
        command.data = block.SRB_BufPointer;
    }
    pending.result = drive->Execute(command);
    if (pending.result.outcome == Outcome::Completed)
        pending.due = clock_.NowMilliseconds() + delay_;

    if (pending.due && delay_ == 0) {
        Finish(pending);
        status = block.SRB_Status;
    } else {
        pending_.push_back(std::move(pending));
    }
    received.returned = status;
    Record(std::move(received));
    return status;
}

uint32_t AspiLayer::AbortRequest(SrbAbort& block) {
    Received received;
    received.command = block.SRB_Cmd;
    received.adapter = block.SRB_HaId;
    received.toAbort = reinterpret_cast<uintptr_t>(block.SRB_ToAbort);
    uint8_t status = kRequestCompleted;
    auto found = std::find_if(pending_.begin(), pending_.end(), [&](const Pending& p) {
        return static_cast<void*>(p.block) == block.SRB_ToAbort;
    });
    if (refusesAbort_) {
        status = kAbortRefused;
    } else if (found != pending_.end()) {
        found->block->SRB_Status = kRequestAborted;
        pending_.erase(found);
    }
    block.SRB_Status = status;
    received.returned = status;
    Record(std::move(received));
    return status;
}

void AspiLayer::Finish(Pending& pending) {
    SrbExecScsiCommand& block = *pending.block;
    const TargetResult& result = pending.result;
    if (!pending.data.empty())
        std::memcpy(block.SRB_BufPointer, pending.data.data(), pending.data.size());
    // A transfer cut short or reported too long is the host adapter's data over-run/under-run.
    const bool overOrUnderRun = result.cut || result.overrun > 0;
    block.SRB_HaStat = overOrUnderRun ? kHostDataOverUnderRun : 0;
    block.SRB_TargStat = result.status;
    const size_t senseCount =
        std::min({size_t{block.SRB_SenseLen}, kSenseAreaSize, result.sense.size()});
    std::copy_n(result.sense.begin(), senseCount, block.SenseArea);
    // The status goes last: the program takes a non-zero status as "all fields are written".
    block.SRB_Status =
        result.status == kStatusGood && !overOrUnderRun ? kRequestCompleted : kRequestError;
    if ((block.SRB_Flags & kSrbEventNotify) != 0)
        events_.Signal(reinterpret_cast<EventHandle>(block.SRB_PostProc));
}

void AspiLayer::Record(Received received) {
    if (keepRequests_)
        received_.push_back(std::move(received));
}

std::optional<uint64_t> AspiLayer::NextCompletionTime() const {
    std::optional<uint64_t> next;
    for (const Pending& pending : pending_) {
        if (pending.due && (!next || *pending.due < *next))
            next = pending.due;
    }
    return next;
}

void AspiLayer::CompleteDue() {
    const uint64_t now = clock_.NowMilliseconds();
    for (;;) {
        auto due = pending_.end();
        for (auto it = pending_.begin(); it != pending_.end(); ++it) {
            if (it->due && *it->due <= now && (due == pending_.end() || *it->due < *due->due))
                due = it;
        }
        if (due == pending_.end())
            return;
        Pending finished = std::move(*due);
        pending_.erase(due);
        Finish(finished);
    }
}

}  // namespace quillet::sim
