// The download: puts a firmware image into one drive. It checks that no disc is loaded, streams
// the image with WRITE BUFFER mode 5 from the product code on, closes the download with a
// zero-length WRITE BUFFER and waits a fixed time while the drive programs its memory, driving
// the progress bar throughout. The steps are written once (download.cpp); each transport adds
// its own part (download_path.h): the disc check and its commands, how a block is sent and a
// refusal shown, the progress scale and its waits, and the boxes' captions, icons and owners.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/aspi_transport.h"
#include "device/pass_through.h"
#include "platform/clock.h"
#include "platform/firmware_file.h"
#include "platform/message_box.h"
#include "update/firmware_image.h"
#include "update/progress_control.h"

namespace quillet {

// The download's messages beyond those about the file (firmware_image.h).
inline constexpr char kFirmwareWriteError[] = "Firmware write error !";
inline constexpr char kMediaChangeNotificationError[] = "Media change notification error !";
inline constexpr char kDriveOpenError[] = "Drive open error !";
inline constexpr char kPassThroughCaption[] = "Error";
inline constexpr char kDiscInDriveCaption[] = "error";
constexpr int kEjectDiscStringId = 102;  // "Eject the disc from the drive."
// What the update command of the pass-through path says after a failed download.
inline constexpr char kOperationStopped[] = "This operation was stopped!!";
inline constexpr char kOperationStoppedCaption[] = "Error";

// ASPI: the bar runs over the blocks and this many steps of the programming wait's scale.
constexpr int kAspiProgressExtra = 250;
constexpr int kAspiProgrammingSteps = 25;
constexpr uint32_t kAspiProgrammingStepMs = 1250;
constexpr int kAspiProgrammingStepSize = 10;
// Pass-through: the bar is a scale of 100, one step per block, then 350 ms per missing step.
constexpr int kPassThroughProgressMax = 100;
constexpr uint32_t kPassThroughProgrammingStepMs = 350;

// What a download did to the drive, however it ended.
struct DownloadOutcome {
    int blocksTaken = 0;   // image blocks the drive took
    bool closed = false;   // the drive took the closing command after the whole image
    bool updated = false;  // and everything after it succeeded: the door's 1
    bool stopped = false;  // the front end stopped it before a block (DownloadWatch)
    bool waitCut = false;  // the front end cut the programming wait short

    // Whether the drive's firmware memory may have been touched.
    bool AnythingWritten() const { return blocksTaken > 0; }
};

// What a download will send, known before anything changes on the drive.
struct DownloadPlan {
    FirmwareImage image;
    uint32_t productCode = 0;
    uint32_t firstOffset = 0;    // the first block's buffer offset
    uint32_t lastOffset = 0;     // the last block's
    uint32_t closingOffset = 0;  // the one the closing command names
    int blocks = 0;
    uint64_t bytes = 0;  // what the blocks carry, the last one's padding included
    uint32_t programmingWaitMs = 0;
};

// A front end's say in a download under way. The Windows program has none.
class DownloadWatch {
public:
    virtual ~DownloadWatch() = default;

    // Asked once the disc check has passed, before anything is switched or written: false ends
    // the download with nothing written.
    virtual bool WriteNow() = 0;
    // Asked before each block after the first: true stops the download there, without the
    // closing command.
    virtual bool StopBeforeBlock() = 0;
    // Asked before each step of the programming wait, with the time it still has to run: true
    // ends the wait there.
    virtual bool CutProgrammingWait(uint32_t leftMs) = 0;
};

// What TEST UNIT READY alone says about a disc.
enum class DiscProbe : uint8_t {
    Empty,       // no disc: the download would go on
    TrayOpen,    // the download would close the tray and look again
    DiscLoaded,  // the download would eject it and stop
};

class FirmwareDownload {
public:
    // The services must outlive the object.
    FirmwareDownload(Clock& clock, MessageBoxService& messages, FirmwareFiles& files,
                     StringSource& strings)
        : clock_(clock), messages_(messages), files_(files), strings_(strings) {}
    FirmwareDownload(const FirmwareDownload&) = delete;
    FirmwareDownload& operator=(const FirmwareDownload&) = delete;

    // Over ASPI, through the transport's request blocks and transfer buffer; after a failed
    // LoadAspi it returns 0 at once, adding nothing to the load's own message. `imagePath` is the
    // image's full path. Failures are shown with the application title, no icon and no owner (a
    // failed block with its status report), except a file exception, shown with a stop icon and
    // owned by `mainWindow` as the framework's own boxes are. 1 when the drive took the firmware,
    // else 0; Outcome() tells more.
    int DownloadFirmware(AspiTransport& transport, int hostAdapter, int target, int lun,
                         const std::string& product, uint32_t productCode,
                         const std::string& imagePath, ProgressControl& progress,
                         WindowHandle mainWindow = 0);

    // Over pass-through, to drive `index` of the list, which opens its two handles for this call
    // only. `fileName` is opened relative to the current directory. Failures are shown with the
    // caption "Error", a stop icon and `owner`. 1 when the drive took the firmware, else 0;
    // Outcome() tells more.
    int DownloadFirmware(PassThroughDriveList& drives, int index, const std::string& fileName,
                         WindowHandle owner, uint32_t productCode, ProgressControl& progress);

    // What the last download did to the drive; nothing before the first.
    const DownloadOutcome& Outcome() const { return outcome_; }

private:
    Clock& clock_;
    MessageBoxService& messages_;
    FirmwareFiles& files_;
    StringSource& strings_;
    DownloadOutcome outcome_;
};

// A pass-through download in stages, for a front end that shows what will be written and asks
// before writing: the same commands, boxes and waits as the door above. The drive's two handles
// are open from Prepare to the object's end, which switches the media change notification back
// on if a download left it off.
class PassThroughUpdate {
public:
    // The services, the list and the bar must outlive the object.
    PassThroughUpdate(Clock& clock, MessageBoxService& messages, FirmwareFiles& files,
                      StringSource& strings, PassThroughDriveList& drives, int index,
                      ProgressControl& progress, WindowHandle owner);
    ~PassThroughUpdate();
    PassThroughUpdate(const PassThroughUpdate&) = delete;
    PassThroughUpdate& operator=(const PassThroughUpdate&) = delete;

    // Opens the drive and `fileName` (exclusively, until Write ends), finds the drive's image
    // and checks its offsets. False, with the failure shown, when one of them failed.
    bool Prepare(const std::string& fileName, uint32_t productCode);
    // What Write will send; after Prepare succeeded.
    const DownloadPlan& Plan() const;
    // TEST UNIT READY as the disc check sends it, and nothing else; after Prepare succeeded.
    DiscProbe ProbeDisc();
    // The disc check, the blocks, the closing command and the programming wait; `watch` may
    // stop it. After Prepare succeeded, once.
    DownloadOutcome Write(DownloadWatch* watch);

private:
    struct Stages;
    std::unique_ptr<Stages> stages_;
};

}  // namespace quillet
