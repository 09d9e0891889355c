// The ASPI transport of the Windows 9x family: loads the ASPI library, searches its host adapters
// for the maker's drives, keeps the table of found drives, and executes requests with an event or
// by polling. It lends its transfer buffer and WRITE BUFFER request block to the download.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/aspi_blocks.h"
#include "device/commands.h"
#include "device/request_keep.h"
#include "device/scsi.h"
#include "platform/aspi_library.h"
#include "platform/clock.h"
#include "platform/event_service.h"
#include "platform/message_box.h"

namespace quillet {

class AspiTransport : public ScsiTransport {
public:
    static constexpr const char* kLibraryName = "WNASPI32.DLL";
    static constexpr int kMaxDrives = 256;
    static constexpr size_t kTransferBufferSize = 32768;  // two halves of 16384 for the download
    static constexpr uint32_t kEventWaitMs = 10000;
    static constexpr uint32_t kPollPeriodMs = 1250;
    // A polled request is given up after this long; the library should long have finished it.
    static constexpr uint32_t kPollLimitMs = 60000;
    static constexpr size_t kInquiryAreaSize = 512;  // holds the 16-byte aligned INQUIRY window

    struct Drive {
        DriveAddress address;
        DriveIdentity identity;
    };

    // The services must outlive the transport. What a given-up request may still write goes to
    // `keep`, the program's own unless a test brings one that outlives the library's layer.
    AspiTransport(AspiLibrary& library, EventService& events, Clock& clock,
                  MessageBoxService& messages, RequestKeep& keep = RequestKeep::Program());
    // Frees the library when one is loaded.
    ~AspiTransport() override;
    AspiTransport(const AspiTransport&) = delete;
    AspiTransport& operator=(const AspiTransport&) = delete;

    // Loads the library and learns the adapter count; shows "ASPI load error !" or "ASPI set up
    // error !" and returns false when that fails. No request may be sent after false.
    bool LoadAspi();
    // Searches every adapter, target (but the adapter's own) and logical unit for the maker's
    // CD/DVD drives and adds them to the table, at most kMaxDrives.
    void ScanAdapters();

    // -1 after a failed load, else the adapter count the library reported.
    int32_t AdapterCount() const { return adapterCount_; }
    int DriveCount() const { return static_cast<int>(drives_.size()); }
    // Drive table by index 0 .. DriveCount() - 1; an index out of range gives an empty record.
    DriveAddress Address(int index) const;
    DriveIdentity Identity(int index) const;
    std::string Revision(int index) const;

    // Builds an execute request block from `request` and waits as its completion says: event
    // (10000 ms, then abort), polling every 1250 ms or polling without sleeping (both given up
    // after kPollLimitMs). False when the request could not be submitted or had to be given up; a
    // wait for the event that fails counts as timed out. A given-up request's block, data and
    // event go to the keep, and a request the keep would have no room for is not sent.
    bool Execute(const DriveAddress& address, ScsiRequest& request) override;
    // The same waiting for a request block the caller fills: one of the blocks the transport lends
    // over its transfer buffer, which go to the keep (and are lent afresh) when the request is
    // given up; any other block and its buffer the caller must keep for the rest of the program.
    bool ExecuteBlock(SrbExecScsiCommand& block, Completion completion);

    // 0 when the request completed and the host adapter saw no error, else -1.
    int TestUnitReady(const DriveAddress& address, ScsiRequest* request = nullptr);
    int StartStopUnit(const DriveAddress& address, StartStopMode mode);
    bool WaitUntilReady(const DriveAddress& address);
    bool ReadFirmwareTag(const DriveAddress& address, std::string* tag);
    void ReportScsiStatus(const SrbExecScsiCommand& block);

    // True once a request was given up and the library refused to abort it: the drive may still
    // be working on it.
    bool RequestLeftRunning() const { return leftRunning_; }

    // Lent to the download: the transfer buffer and the WRITE BUFFER request block.
    uint8_t* TransferBuffer() { return lent_->transferBuffer; }
    SrbExecScsiCommand& WriteBufferBlock() { return lent_->writeBufferBlock; }

private:
    struct PendingRequest;
    struct LentMemory {
        SrbExecScsiCommand writeBufferBlock{};
        uint8_t transferBuffer[kTransferBufferSize] = {};
    };
    enum class Ending { Finished, NotSent, GivenUp };

    void FreeLibrary();
    bool IsLent(const SrbExecScsiCommand& block) const;
    Ending Run(SrbExecScsiCommand& block, Completion completion);
    Ending WaitForEvent(SrbExecScsiCommand& block);
    Ending Poll(SrbExecScsiCommand& block, uint32_t periodMs);
    void Abort(SrbExecScsiCommand& block);

    AspiLibrary& library_;
    EventService& events_;
    Clock& clock_;
    MessageBoxService& messages_;
    RequestKeep& keep_;
    AspiCommands commands_;

    bool loaded_ = false;
    bool leftRunning_ = false;
    int32_t adapterCount_ = 0;
    std::vector<Drive> drives_;
    std::unique_ptr<LentMemory> lent_;
};

}  // namespace quillet
