// The download's steps, the same on every path.
#include <memory>

#include "update/download_path.h"

namespace quillet {

namespace {

// The steps up to the programming wait's end; `outcome` follows the drive as they go. True when
// the drive took the whole image and the path's last step succeeded.
bool DownloadSteps(DownloadPath& path, Clock& clock, FirmwareFiles& files,
                   const std::string& fileName, const std::string& product, uint32_t productCode,
                   DownloadOutcome& outcome) {
    std::unique_ptr<FirmwareFile> file = files.OpenExclusive(fileName);
    if (!file) {
        path.Show(kFirmwareFileOpenError);
        return false;
    }
    FirmwareImage image;
    const auto readTag = [&](std::string* tag) { return path.ReadFirmwareTag(tag); };
    if (LocateImage(*file, product, readTag, &image) != LocateResult::Located) {
        path.Show(kFirmwareFileReadError);
        return false;
    }
    if (!FitsBufferOffsets(productCode, image.length)) {
        path.Show(kFirmwareFileSizeError);
        return false;
    }

    // The offsets fit 24 bits, so the block count is far below the bar's 16-bit limit.
    path.StartProgress(static_cast<int>(BlockCount(image.length)));
    if (!path.DriveIsEmpty() || !path.BeginWriting())
        return false;

    // The two halves of the buffer take turns: the next block is read while the drive may still
    // look at the one just sent.
    uint8_t* const halves[2] = {path.BlockBuffers(), path.BlockBuffers() + kFirmwareBlockSize};
    int half = 0;
    uint32_t offset = productCode & kMaxBufferField;
    ImageBlockReader reader(*file, image.length);
    ImageBlock current = reader.ReadNext(halves[half]);
    if (current.kind != ImageBlock::Kind::Data) {
        path.Show(kFirmwareFileReadError);
        return false;
    }
    for (;;) {
        const bool taken = path.SendBlock(offset, halves[half], current.transferLength);
        // Counted at once: a file exception in the next read must not hide a block written.
        if (taken) {
            ++outcome.blocksTaken;
        } else if (!path.RefusalSeenAfterNextRead()) {
            path.ShowRefusal();
            return false;
        }
        ImageBlock next;
        if (current.Full())
            next = reader.ReadNext(halves[1 - half]);
        path.BlockSent();
        if (!taken) {
            path.ShowRefusal();
            return false;
        }
        offset += current.transferLength;
        if (!current.Full() || next.kind == ImageBlock::Kind::End)
            break;
        if (next.kind == ImageBlock::Kind::ReadFailed) {
            path.Show(kFirmwareFileReadError);
            return false;
        }
        current = next;
        half = 1 - half;
    }

    if (!path.SendBlock(offset, nullptr, 0)) {
        path.ShowRefusal();
        return false;
    }
    outcome.closed = true;
    file->Close();

    // The drive programs its memory now; nothing tells when it is done, so the wait is fixed.
    // The step count bounds it even for a bar that does not keep its position.
    for (int step = 0; step < path.ProgrammingSteps() && !path.ProgressFull(); ++step) {
        clock.Sleep(path.ProgrammingStepMs());
        path.ProgrammingStep();
    }
    return path.EndWriting();
}

}  // namespace

DownloadOutcome RunDownload(DownloadPath& path, Clock& clock, FirmwareFiles& files,
                            const std::string& fileName, const std::string& product,
                            uint32_t productCode) {
    DownloadOutcome outcome;
    try {
        outcome.updated =
            DownloadSteps(path, clock, files, fileName, product, productCode, outcome);
    } catch (const FileException& exception) {
        // The file was closed on the way out.
        path.ShowFileException(FileExceptionText(exception));
    }
    return outcome;
}

}  // namespace quillet
