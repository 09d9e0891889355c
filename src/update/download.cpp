// The download's steps, the same on every path.
#include <algorithm>
#include <memory>

#include "update/download_path.h"

namespace quillet {

bool DownloadSession::Prepare(const std::string& fileName, const std::string& product,
                              uint32_t productCode) {
    try {
        file_ = files_.OpenExclusive(fileName);
        if (!file_) {
            path_.Show(kFirmwareFileOpenError);
            return false;
        }
        FirmwareImage image;
        const auto readTag = [&](std::string* tag) { return path_.ReadFirmwareTag(tag); };
        if (LocateImage(*file_, product, readTag, &image) != LocateResult::Located) {
            path_.Show(kFirmwareFileReadError);
            file_.reset();
            return false;
        }
        if (!FitsBufferOffsets(productCode, image.length)) {
            path_.Show(kFirmwareFileSizeError);
            file_.reset();
            return false;
        }
        // The offsets fit 24 bits, so the block count is far below the bar's 16-bit limit.
        plan_ = DownloadPlan();
        plan_.image = image;
        plan_.productCode = productCode;
        plan_.blocks = static_cast<int>(BlockCount(image.length));
        plan_.bytes = PaddedLength(image.length);
        plan_.firstOffset = productCode & kMaxBufferField;
        plan_.lastOffset = plan_.firstOffset + (plan_.blocks - 1) * kFirmwareBlockSize;
        plan_.closingOffset = plan_.firstOffset + static_cast<uint32_t>(plan_.bytes);
        plan_.programmingWaitMs = path_.ProgrammingWaitMs(plan_.blocks);
        return true;
    } catch (const FileException& exception) {
        // The file is closed on the way out.
        file_.reset();
        path_.ShowFileException(FileExceptionText(exception));
        return false;
    }
}

DownloadOutcome DownloadSession::Write(DownloadWatch* watch) {
    DownloadOutcome outcome;
    try {
        outcome.updated = WriteSteps(watch, outcome);
    } catch (const FileException& exception) {
        file_.reset();
        path_.ShowFileException(FileExceptionText(exception));
    }
    file_.reset();
    return outcome;
}

// The steps up to the programming wait's end; `outcome` follows the drive as they go. True when
// the drive took the whole image and the path's last step succeeded.
bool DownloadSession::WriteSteps(DownloadWatch* watch, DownloadOutcome& outcome) {
    path_.StartProgress(plan_.blocks);
    if (!path_.DriveIsEmpty())
        return false;
    if (watch && !watch->WriteNow()) {
        outcome.stopped = true;
        return false;
    }
    if (!path_.BeginWriting())
        return false;

    // The two halves of the buffer take turns: the next block is read while the drive may still
    // look at the one just sent.
    uint8_t* const halves[2] = {path_.BlockBuffers(), path_.BlockBuffers() + kFirmwareBlockSize};
    int half = 0;
    uint32_t offset = plan_.firstOffset;
    ImageBlockReader reader(*file_, plan_.image.length);
    ImageBlock current = reader.ReadNext(halves[half]);
    if (current.kind != ImageBlock::Kind::Data) {
        path_.Show(kFirmwareFileReadError);
        return false;
    }
    for (;;) {
        const bool taken = path_.SendBlock(offset, halves[half], current.transferLength);
        // Counted at once: a file exception in the next read must not hide a block written.
        if (taken) {
            ++outcome.blocksTaken;
        } else if (!path_.RefusalSeenAfterNextRead()) {
            path_.ShowRefusal();
            return false;
        }
        ImageBlock next;
        if (current.Full())
            next = reader.ReadNext(halves[1 - half]);
        path_.BlockSent();
        if (!taken) {
            path_.ShowRefusal();
            return false;
        }
        offset += current.transferLength;
        if (!current.Full() || next.kind == ImageBlock::Kind::End)
            break;
        if (next.kind == ImageBlock::Kind::ReadFailed) {
            path_.Show(kFirmwareFileReadError);
            return false;
        }
        if (watch && watch->StopBeforeBlock()) {
            outcome.stopped = true;
            return false;
        }
        current = next;
        half = 1 - half;
    }

    if (!path_.SendBlock(offset, nullptr, 0)) {
        path_.ShowRefusal();
        return false;
    }
    outcome.closed = true;
    file_->Close();

    // The drive programs its memory now; nothing tells when it is done, so the wait is fixed.
    // The step count bounds it even for a bar that does not keep its position.
    const uint32_t stepMs = path_.ProgrammingStepMs();
    uint32_t left = plan_.programmingWaitMs;
    for (int step = 0; step < path_.ProgrammingSteps() && !path_.ProgressFull(); ++step) {
        if (watch && watch->CutProgrammingWait(left)) {
            outcome.waitCut = true;
            return false;
        }
        clock_.Sleep(stepMs);
        path_.ProgrammingStep();
        left -= std::min(left, stepMs);
    }
    return path_.EndWriting();
}

DownloadOutcome RunDownload(DownloadPath& path, Clock& clock, FirmwareFiles& files,
                            const std::string& fileName, const std::string& product,
                            uint32_t productCode) {
    DownloadSession session(path, clock, files);
    if (!session.Prepare(fileName, product, productCode))
        return DownloadOutcome();
    return session.Write(nullptr);
}

}  // namespace quillet
