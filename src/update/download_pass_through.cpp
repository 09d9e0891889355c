// The download over pass-through: two handles on the drive's volume for the length of the call,
// one for the commands and one for the media change notification switch.
#include <memory>
#include <vector>

#include "update/download.h"
#include "update/firmware_image.h"

namespace quillet {

namespace {

constexpr int kTestsBeforeCheck = 10;
constexpr uint8_t kTrayOpen = 0x02;  // no-medium qualifier: no disc, tray open
constexpr uint8_t kNotificationOff = 1;
constexpr uint8_t kNotificationOn = 0;

// The drive's two handles, open for one download and closed on every way out of it.
class OpenedDrive {
public:
    OpenedDrive(PassThroughTransport& transport, PassThroughDrive& drive)
        : transport_(transport), drive_(drive) {
        drive_.handle = transport_.OpenDrive(drive_.letter, VolumeAccess::ReadWrite);
        if (drive_.handle != kInvalidVolumeHandle)
            notification_ = transport_.OpenDrive(drive_.letter, VolumeAccess::QueryOnly);
    }
    ~OpenedDrive() {
        transport_.CloseDrive(notification_);
        transport_.CloseDrive(drive_.handle);
        drive_.handle = kInvalidVolumeHandle;
    }
    OpenedDrive(const OpenedDrive&) = delete;
    OpenedDrive& operator=(const OpenedDrive&) = delete;

    bool Opened() const { return drive_.handle != kInvalidVolumeHandle; }
    VolumeHandle Notification() const { return notification_; }

private:
    PassThroughTransport& transport_;
    PassThroughDrive& drive_;
    VolumeHandle notification_ = kInvalidVolumeHandle;
};

// A block or the closing command succeeded when the system took the request and the drive
// answered GOOD: a drive that refuses a block has not taken the firmware.
bool WriteBlock(PassThroughTransport& transport, const PassThroughDrive& drive, uint32_t offset,
                const uint8_t* data, uint32_t length) {
    ScsiRequest request;
    return transport.Commands().WriteFirmwareBlock(drive.Address(), offset, data, length,
                                                   &request) &&
           request.targetStatus == kStatusGood;
}

}  // namespace

void FirmwareDownload::ShowPassThrough(const std::string& text, WindowHandle owner) {
    messages_.Show(text, kPassThroughCaption, MessageIcon::Stop, false, owner);
}

int FirmwareDownload::DownloadFirmware(PassThroughDriveList& drives, int index,
                                       const std::string& fileName, WindowHandle owner,
                                       uint32_t productCode, ProgressControl& progress) {
    PassThroughDrive* drive = drives.Drive(index);
    if (drive == nullptr) {
        ShowPassThrough(kDriveOpenError, owner);
        return 0;
    }
    PassThroughTransport& transport = drives.Transport();
    OpenedDrive opened(transport, *drive);
    if (!opened.Opened()) {
        ShowPassThrough(kDriveOpenError, owner);
        return 0;
    }
    bool notificationOff = false;
    int result = 0;
    try {
        result = PassThroughSteps(drives, index, *drive, opened.Notification(), &notificationOff,
                                  fileName, owner, productCode, progress);
    } catch (const FileException& exception) {
        // The file is closed already.
        ShowPassThrough(FileExceptionText(exception), owner);
    }
    // Whatever ended the download, the user's drive gets its notification back before the
    // handle closes.
    if (notificationOff)
        transport.SetMediaChangeNotification(opened.Notification(), kNotificationOn);
    return result;
}

int FirmwareDownload::PassThroughSteps(PassThroughDriveList& drives, int index,
                                       PassThroughDrive& drive, VolumeHandle notification,
                                       bool* notificationOff, const std::string& fileName,
                                       WindowHandle owner, uint32_t productCode,
                                       ProgressControl& progress) {
    PassThroughTransport& transport = drives.Transport();
    std::unique_ptr<FirmwareFile> file = files_.OpenExclusive(fileName);
    if (!file) {
        ShowPassThrough(kFirmwareFileOpenError, owner);
        return 0;
    }
    FirmwareImage image;
    const auto readTag = [&](std::string* tag) { return drives.ReadFirmwareTag(index, tag); };
    if (LocateImage(*file, drive.product, readTag, &image) != LocateResult::Located) {
        ShowPassThrough(kFirmwareFileReadError, owner);
        return 0;
    }
    if (!FitsBufferOffsets(productCode, image.length)) {
        ShowPassThrough(kFirmwareFileSizeError, owner);
        return 0;
    }

    progress.SetRange(0, kPassThroughProgressMax);
    progress.SetPos(0);
    progress.SetStep(1);

    // An open tray is closed and given time before the disc check; a closed one is not touched.
    uint8_t qualifier = 0;
    for (int i = 0; i < kTestsBeforeCheck; ++i)
        drives.TestUnitReady(index, &qualifier);
    if (!drives.TestUnitReady(index, &qualifier) && qualifier == kTrayOpen) {
        transport.WaitUntilReady(drive.handle, drive.pathId, drive.targetId, drive.lun);
        for (int i = 0; i < kTestsBeforeCheck; ++i)
            drives.TestUnitReady(index, &qualifier);
    }
    if (drives.TestUnitReady(index, &qualifier)) {
        messages_.Show(strings_.LoadStringResource(kEjectDiscStringId), kDiscInDriveCaption,
                       MessageIcon::Stop, false, owner);
        transport.StartStopUnit(drive.handle, drive.pathId, drive.targetId, drive.lun, 1);
        return 0;
    }

    if (!transport.SetMediaChangeNotification(notification, kNotificationOff)) {
        ShowPassThrough(kMediaChangeNotificationError, owner);
        return 0;
    }
    *notificationOff = true;

    std::vector<uint8_t> buffers(2 * kFirmwareBlockSize);
    uint8_t* const halves[2] = {buffers.data(), buffers.data() + kFirmwareBlockSize};
    int half = 0;
    uint32_t offset = productCode & kMaxBufferField;
    ImageBlockReader reader(*file, image.length);
    ImageBlock current = reader.ReadNext(halves[half]);
    if (current.kind != ImageBlock::Kind::Data) {
        ShowPassThrough(kFirmwareFileReadError, owner);
        return 0;
    }
    for (;;) {
        if (!WriteBlock(transport, drive, offset, halves[half], current.transferLength)) {
            ShowPassThrough(kFirmwareWriteError, owner);
            return 0;
        }
        ImageBlock next;
        if (current.Full())
            next = reader.ReadNext(halves[1 - half]);
        if (progress.GetPos() < kPassThroughProgressMax)
            progress.StepIt();
        offset += current.transferLength;
        if (!current.Full() || next.kind == ImageBlock::Kind::End)
            break;
        if (next.kind == ImageBlock::Kind::ReadFailed) {
            ShowPassThrough(kFirmwareFileReadError, owner);
            return 0;
        }
        current = next;
        half = 1 - half;
    }

    if (!WriteBlock(transport, drive, offset, nullptr, 0)) {
        ShowPassThrough(kFirmwareWriteError, owner);
        return 0;
    }
    file->Close();

    // The drive programs its memory while the bar fills. The count bounds the wait even for a
    // bar that does not keep its position.
    for (int step = 0;
         step < kPassThroughProgressMax && progress.GetPos() < kPassThroughProgressMax; ++step) {
        clock_.Sleep(kPassThroughProgrammingStepMs);
        progress.StepIt();
    }

    *notificationOff = false;
    if (!transport.SetMediaChangeNotification(notification, kNotificationOn)) {
        ShowPassThrough(kMediaChangeNotificationError, owner);
        return 0;
    }
    return 1;
}

}  // namespace quillet
