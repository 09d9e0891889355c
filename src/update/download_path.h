// The part of a download that belongs to one way of reaching the drive: how its disc is checked,
// how a block is sent and a refusal shown, the progress scale and its waits, and the boxes'
// captions, icons and owners. RunDownload (download.cpp) does everything else, once for both.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/firmware_file.h"
#include "platform/message_box.h"
#include "update/download.h"
#include "update/firmware_image.h"
#include "update/progress_control.h"

namespace quillet {

class DownloadPath {
public:
    // The services must outlive the object. `owner` owns those of the path's boxes that have one.
    DownloadPath(MessageBoxService& messages, StringSource& strings, ProgressControl& progress,
                 WindowHandle owner)
        : messages_(messages), strings_(strings), progress_(progress), owner_(owner) {}
    virtual ~DownloadPath() = default;
    DownloadPath(const DownloadPath&) = delete;
    DownloadPath& operator=(const DownloadPath&) = delete;

    // Asks the drive for its firmware tag, for an image file with one section per tag.
    virtual bool ReadFirmwareTag(std::string* tag) = 0;
    // A failure of the download in this path's box.
    virtual void Show(const std::string& text) = 0;
    // A file exception, in the box that reports it.
    virtual void ShowFileException(const std::string& text) = 0;

    // Sets the bar's scale for an image of `blocks` blocks.
    virtual void StartProgress(int blocks) = 0;
    // One block has been sent.
    virtual void BlockSent() = 0;
    // One step of the programming wait has passed.
    virtual void ProgrammingStep() = 0;
    // Whether the bar has reached its end: the programming wait ends there.
    virtual bool ProgressFull() = 0;
    // The programming wait: at most this many steps of this many milliseconds.
    virtual int ProgrammingSteps() const = 0;
    virtual uint32_t ProgrammingStepMs() const = 0;
    // How long the programming wait runs after an image of `blocks` blocks.
    virtual uint32_t ProgrammingWaitMs(int blocks) const = 0;

    // Makes sure no disc is loaded; when one is, says so, ejects it and answers false.
    virtual bool DriveIsEmpty() = 0;
    // Anything the path does before the first block; false (shown already) stops the download.
    virtual bool BeginWriting() { return true; }
    // Two blocks of kFirmwareBlockSize bytes each, which the block loop fills in turn.
    virtual uint8_t* BlockBuffers() = 0;
    // One WRITE BUFFER: a block of `length` bytes, or the closing command when `length` is 0.
    // True when the drive took it.
    virtual bool SendBlock(uint32_t offset, uint8_t* data, uint32_t length) = 0;
    // Whether a refused block is looked at only after the next block has been read and the bar
    // stepped, as when the request runs while the file is read.
    virtual bool RefusalSeenAfterNextRead() const { return false; }
    // Tells the user that the drive refused the last WRITE BUFFER.
    virtual void ShowRefusal() = 0;
    // Anything the path does after the programming wait; false (shown already) fails the update.
    virtual bool EndWriting() { return true; }

protected:
    // "Eject the disc from the drive." in the user's language.
    void ShowDiscInDrive(MessageIcon icon, WindowHandle owner) {
        messages_.Show(strings_.LoadStringResource(kEjectDiscStringId), kDiscInDriveCaption, icon,
                       false, owner);
    }

    MessageBoxService& messages_;
    StringSource& strings_;
    ProgressControl& progress_;
    const WindowHandle owner_;
};

// One download over one path, in its stages. Every failure is shown through the path.
class DownloadSession {
public:
    // The path and the services must outlive the object.
    DownloadSession(DownloadPath& path, Clock& clock, FirmwareFiles& files)
        : path_(path), clock_(clock), files_(files) {}
    DownloadSession(const DownloadSession&) = delete;
    DownloadSession& operator=(const DownloadSession&) = delete;

    // Opens `fileName` exclusively, finds the image for `product` in it and checks that its
    // blocks' offsets fit from the product code's low 24 bits on. False when one failed.
    bool Prepare(const std::string& fileName, const std::string& product, uint32_t productCode);
    // After Prepare succeeded.
    const DownloadPlan& Plan() const { return plan_; }
    // Makes sure the drive holds no disc, streams the image block by block, sends the closing
    // command and waits while the drive programs its memory; `watch` (may be null) may stop it.
    // After Prepare succeeded; the file is closed on every way out.
    DownloadOutcome Write(DownloadWatch* watch);

private:
    bool WriteSteps(DownloadWatch* watch, DownloadOutcome& outcome);

    DownloadPath& path_;
    Clock& clock_;
    FirmwareFiles& files_;
    std::unique_ptr<FirmwareFile> file_;
    DownloadPlan plan_;
};

// The whole download at once: Prepare, then Write with no watch.
DownloadOutcome RunDownload(DownloadPath& path, Clock& clock, FirmwareFiles& files,
                            const std::string& fileName, const std::string& product,
                            uint32_t productCode);

}  // namespace quillet
