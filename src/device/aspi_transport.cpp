#include "device/aspi_transport.h"

#include <algorithm>
#include <cstring>

#include "device/status_report.h"

namespace quillet {

namespace {

constexpr int kTargets = 8;
constexpr int kLuns = 8;
constexpr int kPeripheralCdDvd = 5;
constexpr uintptr_t kBufferAlignment = 16;

const char kLoadError[] = "ASPI load error !";
const char kSetUpError[] = "ASPI set up error !";
const char kCommandError[] = "ASPI command error !";

// The library writes the status while the program looks at it; read it from memory every time.
uint8_t StatusOf(const SrbExecScsiCommand& block) {
    return *static_cast<const volatile uint8_t*>(&block.SRB_Status);
}

uint8_t* Aligned(uint8_t* at) {
    const uintptr_t address = reinterpret_cast<uintptr_t>(at);
    return at + (kBufferAlignment - address % kBufferAlignment) % kBufferAlignment;
}

uint8_t DirectionFlags(DataDirection direction) {
    switch (direction) {
        case DataDirection::In:
            return kSrbDirectionIn;
        case DataDirection::Out:
            return kSrbDirectionOut;
        case DataDirection::None:
            break;
    }
    return kSrbNoTransfer;
}

}  // namespace

// One request built from a ScsiRequest: the block and an aligned copy of the caller's data, so
// that a request the library keeps after it was given up never refers to the caller's memory.
struct AspiTransport::PendingRequest {
    SrbExecScsiCommand block{};
    std::vector<uint8_t> storage;
    uint8_t* data = nullptr;
};

AspiTransport::AspiTransport(AspiLibrary& library, EventService& events, Clock& clock,
                             MessageBoxService& messages, RequestKeep& keep)
    : library_(library),
      events_(events),
      clock_(clock),
      messages_(messages),
      keep_(keep),
      commands_(*this, clock),
      lent_(std::make_unique<LentMemory>()) {}

AspiTransport::~AspiTransport() {
    FreeLibrary();
}

void AspiTransport::FreeLibrary() {
    if (loaded_) {
        library_.Free();
        loaded_ = false;
    }
}

bool AspiTransport::LoadAspi() {
    drives_.clear();
    // A second load must not leave the first reference to the library behind.
    FreeLibrary();
    if (!library_.Load(kLibraryName)) {
        adapterCount_ = -1;
        messages_.Show(kLoadError, std::string(), MessageIcon::Exclamation, false, 0);
        return false;
    }
    loaded_ = true;
    if (library_.HasEntryPoints()) {
        const uint32_t info = library_.GetSupportInfo();
        if (SupportInfoStatus(info) == kRequestCompleted) {
            adapterCount_ = static_cast<int32_t>(SupportInfoAdapterCount(info));
            return true;
        }
    }
    FreeLibrary();
    adapterCount_ = -1;
    messages_.Show(kSetUpError, std::string(), MessageIcon::Exclamation, false, 0);
    return false;
}

void AspiTransport::ScanAdapters() {
    if (!loaded_)
        return;
    // INQUIRY data lands in a 16-byte aligned window of a larger area: some adapters need it.
    std::vector<uint8_t> area(kInquiryAreaSize);
    uint8_t* window = Aligned(area.data());
    for (int32_t adapter = 0; adapter < adapterCount_; ++adapter) {
        SrbHostAdapterInquiry inquiry{};
        inquiry.SRB_Cmd = kSrbHostAdapterInquiry;
        inquiry.SRB_HaId = static_cast<uint8_t>(adapter);
        if (library_.SendCommand(&inquiry) != kRequestCompleted)
            continue;
        for (int target = 0; target < kTargets; ++target) {
            if (target == inquiry.HA_SCSI_ID)
                continue;
            for (int lun = 0; lun < kLuns; ++lun) {
                std::fill(area.begin(), area.end(), 0);
                Drive drive;
                drive.address.hostAdapter = adapter;
                drive.address.target = target;
                drive.address.lun = lun;
                if (commands_.IdentifyDrive(drive.address, window, &drive.identity) ==
                        kPeripheralCdDvd &&
                    drives_.size() < static_cast<size_t>(kMaxDrives)) {
                    drives_.push_back(drive);
                }
            }
        }
    }
}

DriveAddress AspiTransport::Address(int index) const {
    if (index < 0 || index >= DriveCount())
        return DriveAddress();
    return drives_[static_cast<size_t>(index)].address;
}

DriveIdentity AspiTransport::Identity(int index) const {
    if (index < 0 || index >= DriveCount())
        return DriveIdentity();
    return drives_[static_cast<size_t>(index)].identity;
}

std::string AspiTransport::Revision(int index) const {
    return Identity(index).revision;
}

bool AspiTransport::Execute(const DriveAddress& address, ScsiRequest& request) {
    request.requestStatus = kRequestPending;
    request.hostStatus = kHostOk;
    request.targetStatus = kStatusGood;
    request.sense.fill(0);
    const bool hasData = request.data != nullptr && request.dataLength > 0;
    const size_t dataBytes = hasData ? request.dataLength : 0;
    if (!loaded_ || !keep_.HasRoom(sizeof(SrbExecScsiCommand) + dataBytes))
        return false;

    auto pending = std::make_unique<PendingRequest>();
    SrbExecScsiCommand& block = pending->block;
    block = AddressedExecBlock(address);
    block.SRB_Flags = DirectionFlags(request.direction);
    if (hasData) {
        // The caller's bytes go along either way: whatever the drive does not fill stays as it was.
        pending->storage.assign(request.dataLength + kBufferAlignment - 1, 0);
        pending->data = Aligned(pending->storage.data());
        std::memcpy(pending->data, request.data, request.dataLength);
        block.SRB_BufLen = request.dataLength;
        block.SRB_BufPointer = pending->data;
    }
    block.SRB_SenseLen =
        static_cast<uint8_t>(std::min<size_t>(request.senseLength, kSenseAreaSize));
    block.SRB_CDBLen =
        static_cast<uint8_t>(std::min<size_t>(request.cdbLength, request.cdb.size()));
    std::memcpy(block.CDBByte, request.cdb.data(), block.SRB_CDBLen);

    const Ending ending = Run(block, request.completion);
    request.requestStatus = StatusOf(block);
    if (ending == Ending::GivenUp) {
        const uint8_t* data = pending->data;
        keep_.Keep(std::move(pending), {{&block, sizeof block}, {data, dataBytes}});
        if (request.requestStatus == kRequestPending)
            return false;
    }
    request.hostStatus = block.SRB_HaStat;
    request.targetStatus = block.SRB_TargStat;
    std::copy_n(block.SenseArea, std::min<size_t>(block.SRB_SenseLen, request.sense.size()),
                request.sense.begin());
    if (hasData && request.direction == DataDirection::In)
        std::memcpy(request.data, reinterpret_cast<uint8_t*>(block.SRB_BufPointer),
                    request.dataLength);
    return ending == Ending::Finished;
}

bool AspiTransport::IsLent(const SrbExecScsiCommand& block) const {
    return &block == &lent_->writeBufferBlock;
}

bool AspiTransport::ExecuteBlock(SrbExecScsiCommand& block, Completion completion) {
    if (IsLent(block) && !keep_.HasRoom(sizeof(LentMemory)))
        return false;
    const Ending ending = Run(block, completion);
    if (ending == Ending::GivenUp && IsLent(block)) {
        // The caller still looks at the given-up block; it stays where it is, owned by the keep.
        LentMemory* const given = lent_.get();
        keep_.Keep(std::move(lent_), {{given, sizeof(LentMemory)}});
        lent_ = std::make_unique<LentMemory>();
    }
    return ending == Ending::Finished;
}

AspiTransport::Ending AspiTransport::Run(SrbExecScsiCommand& block, Completion completion) {
    if (!loaded_)
        return Ending::NotSent;
    switch (completion) {
        case Completion::EventWait:
            return WaitForEvent(block);
        case Completion::PollSleeping:
            return Poll(block, kPollPeriodMs);
        case Completion::PollBusy:
            break;
    }
    return Poll(block, 0);
}

AspiTransport::Ending AspiTransport::WaitForEvent(SrbExecScsiCommand& block) {
    const EventHandle event = events_.Create();
    if (event == kNoEvent)
        return Ending::NotSent;
    block.SRB_Flags |= kSrbEventNotify;
    block.SRB_PostProc = reinterpret_cast<void*>(event);
    if (library_.SendCommand(&block) != kRequestPending ||
        events_.Wait(event, kEventWaitMs) == WaitOutcome::Signalled) {
        events_.Close(event);
        return Ending::Finished;
    }
    // Timed out, or the wait itself failed: either way the request is not known to be finished.
    // The event stays open for good, as the library may still signal it.
    Abort(block);
    return Ending::GivenUp;
}

// A period of 0 looks again at once, without sleeping: only the clock's reading bounds the loop.
AspiTransport::Ending AspiTransport::Poll(SrbExecScsiCommand& block, uint32_t periodMs) {
    block.SRB_Flags &= static_cast<uint8_t>(~kSrbEventNotify);
    block.SRB_PostProc = nullptr;
    library_.SendCommand(&block);
    const uint64_t start = clock_.NowMilliseconds();
    while (StatusOf(block) == kRequestPending) {
        if (clock_.NowMilliseconds() - start >= kPollLimitMs) {
            Abort(block);
            return Ending::GivenUp;
        }
        if (periodMs > 0)
            clock_.Sleep(periodMs);
    }
    return Ending::Finished;
}

void AspiTransport::Abort(SrbExecScsiCommand& block) {
    SrbAbort abort{};
    abort.SRB_Cmd = kSrbAbort;
    abort.SRB_HaId = block.SRB_HaId;
    abort.SRB_ToAbort = &block;
    if (library_.SendCommand(&abort) != kRequestCompleted) {
        leftRunning_ = true;
        messages_.Show(kCommandError, std::string(), MessageIcon::Exclamation, false, 0);
    }
}

int AspiTransport::TestUnitReady(const DriveAddress& address, ScsiRequest* request) {
    return commands_.TestUnitReady(address, request);
}

int AspiTransport::StartStopUnit(const DriveAddress& address, StartStopMode mode) {
    return commands_.StartStopUnit(address, mode);
}

bool AspiTransport::WaitUntilReady(const DriveAddress& address) {
    return commands_.WaitUntilReady(address);
}

bool AspiTransport::ReadFirmwareTag(const DriveAddress& address, std::string* tag) {
    return commands_.ReadFirmwareTag(address, tag);
}

void AspiTransport::ReportScsiStatus(const SrbExecScsiCommand& block) {
    quillet::ReportScsiStatus(messages_, block);
}

}  // namespace quillet
