// The download: puts a firmware image into one drive. It checks that no disc is loaded, streams
// the image with WRITE BUFFER mode 5 from the product code on, closes the download with a
// zero-length WRITE BUFFER and waits a fixed time while the drive programs its memory, driving
// the progress bar throughout. One procedure per transport; they share the file handling and the
// block loop and differ in their commands, waits, progress scale and messages.
#pragma once

#include <cstdint>
#include <string>

#include "device/aspi_transport.h"
#include "device/pass_through.h"
#include "platform/clock.h"
#include "platform/firmware_file.h"
#include "platform/message_box.h"
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
    // else 0.
    int DownloadFirmware(AspiTransport& transport, int hostAdapter, int target, int lun,
                         const std::string& product, uint32_t productCode,
                         const std::string& imagePath, ProgressControl& progress,
                         WindowHandle mainWindow = 0);

    // Over pass-through, to drive `index` of the list, which opens its two handles for this call
    // only. `fileName` is opened relative to the current directory. Failures are shown with the
    // caption "Error", a stop icon and `owner`. 1 when the drive took the firmware, else 0.
    int DownloadFirmware(PassThroughDriveList& drives, int index, const std::string& fileName,
                         WindowHandle owner, uint32_t productCode, ProgressControl& progress);

private:
    int AspiSteps(AspiTransport& transport, const DriveAddress& address, const std::string& product,
                  uint32_t productCode, const std::string& imagePath, ProgressControl& progress);
    int PassThroughSteps(PassThroughDriveList& drives, int index, PassThroughDrive& drive,
                         VolumeHandle notification, bool* notificationOff,
                         const std::string& fileName, WindowHandle owner, uint32_t productCode,
                         ProgressControl& progress);
    void ShowAspi(const std::string& text);
    void ShowPassThrough(const std::string& text, WindowHandle owner);

    Clock& clock_;
    MessageBoxService& messages_;
    FirmwareFiles& files_;
    StringSource& strings_;
};

}  // namespace quillet
