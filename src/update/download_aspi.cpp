// The download over ASPI: the transport's WRITE BUFFER request block, submitted directly and
// polled without sleeping, over the two halves of its transfer buffer.
#include <array>
#include <cstring>
#include <memory>

#include "update/download.h"
#include "update/firmware_image.h"

namespace quillet {

namespace {

// One WRITE BUFFER through the request block: a block of `length` bytes at `data`, or the closing
// command when `length` is 0. The request's own status decides; the transport says whether it was
// given up.
void SendWriteBuffer(AspiTransport& transport, SrbExecScsiCommand& block, uint32_t offset,
                     uint8_t* data, uint32_t length) {
    block.SRB_Flags = length > 0 ? kSrbDirectionOut : kSrbNoTransfer;
    block.SRB_BufLen = length;
    block.SRB_BufPointer = length > 0 ? data : nullptr;
    const std::array<uint8_t, kWriteBufferCdbLength> cdb = WriteBufferCdb(offset, length);
    std::memcpy(block.CDBByte, cdb.data(), cdb.size());
    // A status left from the previous block must not pass for this one's.
    block.SRB_Status = kRequestPending;
    block.SRB_HaStat = kHostOk;
    block.SRB_TargStat = kStatusGood;
    std::memset(block.SenseArea, 0, sizeof block.SenseArea);
    transport.ExecuteBlock(block, Completion::PollBusy);
}

// The drive's own status plays no part: a WRITE BUFFER is judged by request and host adapter
// status alone.
bool Succeeded(const SrbExecScsiCommand& block) {
    return block.SRB_Status == kRequestCompleted && block.SRB_HaStat == kHostOk;
}

}  // namespace

void FirmwareDownload::ShowAspi(const std::string& text) {
    messages_.Show(text, std::string(), MessageIcon::None, false, 0);
}

int FirmwareDownload::DownloadFirmware(AspiTransport& transport, int hostAdapter, int target,
                                       int lun, const std::string& product, uint32_t productCode,
                                       const std::string& imagePath, ProgressControl& progress,
                                       WindowHandle mainWindow) {
    // Without the library every request fails at once and the readiness wait would only sleep
    // its 25 seconds; the failed load has told the user already.
    if (transport.AdapterCount() < 0)
        return 0;
    DriveAddress address;
    address.hostAdapter = hostAdapter;
    address.target = target;
    address.lun = lun;
    try {
        return AspiSteps(transport, address, product, productCode, imagePath, progress);
    } catch (const FileException& exception) {
        // The file was closed on the way out; the framework's own box reports the exception.
        messages_.Show(FileExceptionText(exception), std::string(), MessageIcon::Stop, false,
                       mainWindow);
        return 0;
    }
}

int FirmwareDownload::AspiSteps(AspiTransport& transport, const DriveAddress& address,
                                const std::string& product, uint32_t productCode,
                                const std::string& imagePath, ProgressControl& progress) {
    std::unique_ptr<FirmwareFile> file = files_.OpenExclusive(imagePath);
    if (!file) {
        ShowAspi(kFirmwareFileOpenError);
        return 0;
    }
    FirmwareImage image;
    const auto readTag = [&](std::string* tag) { return transport.ReadFirmwareTag(address, tag); };
    if (LocateImage(*file, product, readTag, &image) != LocateResult::Located) {
        ShowAspi(kFirmwareFileReadError);
        return 0;
    }
    if (!FitsBufferOffsets(productCode, image.length)) {
        ShowAspi(kFirmwareFileSizeError);
        return 0;
    }

    // The offsets fit 24 bits, so the block count is far below the 16-bit limit.
    const int blocks = static_cast<int>(BlockCount(image.length));
    progress.SetRange(0, static_cast<uint16_t>(blocks + kAspiProgressExtra));
    int position = 0;

    // A disc left in the drive is found after the tray has been closed.
    for (int i = 0; i < 3; ++i)
        transport.TestUnitReady(address);
    transport.WaitUntilReady(address);
    if (transport.TestUnitReady(address) == 0) {
        messages_.Show(strings_.LoadStringResource(kEjectDiscStringId), kDiscInDriveCaption,
                       MessageIcon::Exclamation, false, 0);
        transport.StartStopUnit(address, StartStopMode::Eject);
        return 0;
    }

    SrbExecScsiCommand& block = transport.WriteBufferBlock();
    block = AddressedExecBlock(address);
    block.SRB_SenseLen = kWriteBufferSenseLength;
    block.SRB_CDBLen = kWriteBufferCdbLength;
    uint32_t offset = productCode & kMaxBufferField;

    // The two halves of the transfer buffer take turns: the next block is read while the drive
    // may still look at the one just sent.
    uint8_t* const halves[2] = {transport.TransferBuffer(),
                                transport.TransferBuffer() + kFirmwareBlockSize};
    int half = 0;
    ImageBlockReader reader(*file, image.length);
    ImageBlock current = reader.ReadNext(halves[half]);
    if (current.kind != ImageBlock::Kind::Data) {
        ShowAspi(kFirmwareFileReadError);
        return 0;
    }
    for (;;) {
        SendWriteBuffer(transport, block, offset, halves[half], current.transferLength);
        ImageBlock next;
        if (current.Full())
            next = reader.ReadNext(halves[1 - half]);
        ++position;
        progress.SetPos(static_cast<uint16_t>(position));
        if (!Succeeded(block)) {
            transport.ReportScsiStatus(block);
            return 0;
        }
        offset += current.transferLength;
        if (!current.Full() || next.kind == ImageBlock::Kind::End)
            break;
        if (next.kind == ImageBlock::Kind::ReadFailed) {
            ShowAspi(kFirmwareFileReadError);
            return 0;
        }
        current = next;
        half = 1 - half;
    }

    SendWriteBuffer(transport, block, offset, nullptr, 0);
    if (!Succeeded(block)) {
        transport.ReportScsiStatus(block);
        return 0;
    }
    file->Close();

    // The drive programs its memory now; nothing tells when it is done, so the wait is fixed.
    for (int step = 0; step < kAspiProgrammingSteps; ++step) {
        clock_.Sleep(kAspiProgrammingStepMs);
        position += kAspiProgrammingStepSize;
        progress.SetPos(static_cast<uint16_t>(position));
    }
    return 1;
}

}  // namespace quillet
