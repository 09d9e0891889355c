// The download over ASPI: the transport's WRITE BUFFER request block, submitted directly and
// polled without sleeping, over the two halves of its transfer buffer.
#include <array>
#include <cstring>

#include "update/download_path.h"

namespace quillet {

namespace {

// ASPI boxes carry the application title, no icon and no owner; only the framework's box for a
// file exception belongs to the main window.
class AspiPath : public DownloadPath {
public:
    AspiPath(AspiTransport& transport, const DriveAddress& address, MessageBoxService& messages,
             StringSource& strings, ProgressControl& progress, WindowHandle mainWindow)
        : DownloadPath(messages, strings, progress, mainWindow),
          transport_(transport),
          address_(address),
          block_(transport.WriteBufferBlock()) {}

    bool ReadFirmwareTag(std::string* tag) override {
        return transport_.ReadFirmwareTag(address_, tag);
    }
    void Show(const std::string& text) override {
        messages_.Show(text, std::string(), MessageIcon::None, false, 0);
    }
    // The framework's own box reports the exception.
    void ShowFileException(const std::string& text) override {
        messages_.Show(text, std::string(), MessageIcon::Stop, false, owner_);
    }

    // The bar runs over the blocks, then the programming wait's steps.
    void StartProgress(int blocks) override {
        end_ = blocks + kAspiProgressExtra;
        progress_.SetRange(0, static_cast<uint16_t>(end_));
    }
    void BlockSent() override { SetPosition(position_ + 1); }
    void ProgrammingStep() override { SetPosition(position_ + kAspiProgrammingStepSize); }
    bool ProgressFull() override { return position_ >= end_; }
    int ProgrammingSteps() const override { return kAspiProgrammingSteps; }
    uint32_t ProgrammingStepMs() const override { return kAspiProgrammingStepMs; }
    uint32_t ProgrammingWaitMs(int) const override {
        return kAspiProgrammingSteps * kAspiProgrammingStepMs;
    }

    // A disc left in the drive is found after the tray has been closed.
    bool DriveIsEmpty() override {
        for (int i = 0; i < 3; ++i)
            transport_.TestUnitReady(address_);
        transport_.WaitUntilReady(address_);
        if (transport_.TestUnitReady(address_) != 0)
            return true;
        ShowDiscInDrive(MessageIcon::Exclamation, 0);
        transport_.StartStopUnit(address_, StartStopMode::Eject);
        return false;
    }
    bool BeginWriting() override {
        // A command of the disc check that could not be aborted may still run on the drive: no
        // firmware goes on top of it. Its refused abort has been said.
        if (transport_.RequestLeftRunning())
            return false;
        block_ = AddressedExecBlock(address_);
        block_.SRB_SenseLen = kWriteBufferSenseLength;
        block_.SRB_CDBLen = kWriteBufferCdbLength;
        return true;
    }
    uint8_t* BlockBuffers() override { return transport_.TransferBuffer(); }

    // The request's own status decides, with the host adapter's: the drive's status plays no
    // part. The transport says whether the request was given up.
    bool SendBlock(uint32_t offset, uint8_t* data, uint32_t length) override {
        block_.SRB_Flags = length > 0 ? kSrbDirectionOut : kSrbNoTransfer;
        block_.SRB_BufLen = length;
        block_.SRB_BufPointer = length > 0 ? data : nullptr;
        const std::array<uint8_t, kWriteBufferCdbLength> cdb = WriteBufferCdb(offset, length);
        std::memcpy(block_.CDBByte, cdb.data(), cdb.size());
        // A status left from the previous block must not pass for this one's.
        block_.SRB_Status = kRequestPending;
        block_.SRB_HaStat = kHostOk;
        block_.SRB_TargStat = kStatusGood;
        std::memset(block_.SenseArea, 0, sizeof block_.SenseArea);
        transport_.ExecuteBlock(block_, Completion::PollBusy);
        return block_.SRB_Status == kRequestCompleted && block_.SRB_HaStat == kHostOk;
    }
    bool RefusalSeenAfterNextRead() const override { return true; }
    void ShowRefusal() override { transport_.ReportScsiStatus(block_); }

private:
    void SetPosition(int position) {
        position_ = position;
        progress_.SetPos(static_cast<uint16_t>(position_));
    }

    AspiTransport& transport_;
    const DriveAddress address_;
    SrbExecScsiCommand& block_;
    int position_ = 0;
    int end_ = 0;
};

}  // namespace

int FirmwareDownload::DownloadFirmware(AspiTransport& transport, int hostAdapter, int target,
                                       int lun, const std::string& product, uint32_t productCode,
                                       const std::string& imagePath, ProgressControl& progress,
                                       WindowHandle mainWindow) {
    outcome_ = DownloadOutcome();
    // Without the library every request fails at once and the readiness wait would only sleep
    // its 25 seconds; the failed load has told the user already.
    if (transport.AdapterCount() < 0)
        return 0;
    DriveAddress address;
    address.hostAdapter = hostAdapter;
    address.target = target;
    address.lun = lun;
    AspiPath path(transport, address, messages_, strings_, progress, mainWindow);
    outcome_ = RunDownload(path, clock_, files_, imagePath, product, productCode);
    return outcome_.updated ? 1 : 0;
}

}  // namespace quillet
