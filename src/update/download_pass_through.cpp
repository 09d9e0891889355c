// The download over pass-through: two handles on the drive's volume for the length of the call,
// one for the commands and one for the media change notification switch.
#include <algorithm>
#include <memory>
#include <vector>

#include "update/download_path.h"

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

// Pass-through boxes carry the caption "Error", a stop icon and the caller's owner. The system's
// media change notification is off from the first block to the programming wait's end.
class PassThroughPath : public DownloadPath {
public:
    PassThroughPath(PassThroughDriveList& drives, int index, PassThroughDrive& drive,
                    VolumeHandle notification, MessageBoxService& messages, StringSource& strings,
                    ProgressControl& progress, WindowHandle owner)
        : DownloadPath(messages, strings, progress, owner),
          drives_(drives),
          transport_(drives.Transport()),
          index_(index),
          drive_(drive),
          notification_(notification),
          buffers_(2 * kFirmwareBlockSize) {}

    // Whether the notification is still off: the door switches it on again.
    bool NotificationOff() const { return notificationOff_; }

    bool ReadFirmwareTag(std::string* tag) override { return drives_.ReadFirmwareTag(index_, tag); }
    void Show(const std::string& text) override {
        messages_.Show(text, kPassThroughCaption, MessageIcon::Stop, false, owner_);
    }
    void ShowFileException(const std::string& text) override { Show(text); }

    // A scale of 100, one step per block, then one per programming step until the bar is full.
    void StartProgress(int) override {
        progress_.SetRange(0, kPassThroughProgressMax);
        progress_.SetPos(0);
        progress_.SetStep(1);
    }
    void BlockSent() override {
        if (progress_.GetPos() < kPassThroughProgressMax)
            progress_.StepIt();
    }
    void ProgrammingStep() override { progress_.StepIt(); }
    bool ProgressFull() override { return progress_.GetPos() >= kPassThroughProgressMax; }
    int ProgrammingSteps() const override { return kPassThroughProgressMax; }
    uint32_t ProgrammingStepMs() const override { return kPassThroughProgrammingStepMs; }
    // The bar has taken a step per block, up to its end; the wait fills the rest.
    uint32_t ProgrammingWaitMs(int blocks) const override {
        return static_cast<uint32_t>(kPassThroughProgressMax -
                                     std::min(blocks, kPassThroughProgressMax)) *
               kPassThroughProgrammingStepMs;
    }

    // The disc check's first look, TEST UNIT READY alone.
    DiscProbe ProbeDisc() {
        uint8_t qualifier = 0;
        for (int i = 0; i < kTestsBeforeCheck; ++i)
            drives_.TestUnitReady(index_, &qualifier);
        if (drives_.TestUnitReady(index_, &qualifier))
            return DiscProbe::DiscLoaded;
        return qualifier == kTrayOpen ? DiscProbe::TrayOpen : DiscProbe::Empty;
    }

    // An open tray is closed and given time before the disc check; a closed one is not touched.
    bool DriveIsEmpty() override {
        if (ProbeDisc() == DiscProbe::TrayOpen) {
            transport_.WaitUntilReady(drive_.handle, drive_.pathId, drive_.targetId, drive_.lun);
            for (int i = 0; i < kTestsBeforeCheck; ++i)
                drives_.TestUnitReady(index_, nullptr);
        }
        if (!drives_.TestUnitReady(index_, nullptr))
            return true;
        ShowDiscInDrive(MessageIcon::Stop, owner_);
        transport_.StartStopUnit(drive_.handle, drive_.pathId, drive_.targetId, drive_.lun, 1);
        return false;
    }
    bool BeginWriting() override {
        if (!transport_.SetMediaChangeNotification(notification_, kNotificationOff)) {
            Show(kMediaChangeNotificationError);
            return false;
        }
        notificationOff_ = true;
        return true;
    }
    uint8_t* BlockBuffers() override { return buffers_.data(); }

    // Taken when the system took the request and the drive answered GOOD: a drive that refuses
    // a block has not taken the firmware.
    bool SendBlock(uint32_t offset, uint8_t* data, uint32_t length) override {
        ScsiRequest request;
        return transport_.Commands().WriteFirmwareBlock(drive_.Address(), offset, data, length,
                                                        &request) &&
               request.targetStatus == kStatusGood;
    }
    void ShowRefusal() override { Show(kFirmwareWriteError); }
    bool EndWriting() override {
        notificationOff_ = false;
        if (!transport_.SetMediaChangeNotification(notification_, kNotificationOn)) {
            Show(kMediaChangeNotificationError);
            return false;
        }
        return true;
    }

private:
    PassThroughDriveList& drives_;
    PassThroughTransport& transport_;
    const int index_;
    PassThroughDrive& drive_;
    const VolumeHandle notification_;
    std::vector<uint8_t> buffers_;
    bool notificationOff_ = false;
};

}  // namespace

struct PassThroughUpdate::Stages {
    Clock& clock;
    MessageBoxService& messages;
    FirmwareFiles& files;
    StringSource& strings;
    PassThroughDriveList& drives;
    const int index;
    ProgressControl& progress;
    const WindowHandle owner;
    // Made by Prepare, in this order; ended in the other.
    std::unique_ptr<OpenedDrive> opened;
    std::unique_ptr<PassThroughPath> path;
    std::unique_ptr<DownloadSession> session;
};

PassThroughUpdate::PassThroughUpdate(Clock& clock, MessageBoxService& messages,
                                     FirmwareFiles& files, StringSource& strings,
                                     PassThroughDriveList& drives, int index,
                                     ProgressControl& progress, WindowHandle owner)
    : stages_(new Stages{clock, messages, files, strings, drives, index, progress, owner, nullptr,
                         nullptr, nullptr}) {}

PassThroughUpdate::~PassThroughUpdate() {
    // Whatever ended the download, the user's drive gets its notification back before the
    // handle closes.
    if (stages_->path && stages_->path->NotificationOff())
        stages_->drives.Transport().SetMediaChangeNotification(stages_->opened->Notification(),
                                                               kNotificationOn);
    stages_->session.reset();
    stages_->path.reset();
    stages_->opened.reset();
}

bool PassThroughUpdate::Prepare(const std::string& fileName, uint32_t productCode) {
    Stages& s = *stages_;
    PassThroughDrive* drive = s.drives.Drive(s.index);
    if (drive != nullptr)
        s.opened = std::make_unique<OpenedDrive>(s.drives.Transport(), *drive);
    if (drive == nullptr || !s.opened->Opened()) {
        s.messages.Show(kDriveOpenError, kPassThroughCaption, MessageIcon::Stop, false, s.owner);
        return false;
    }
    s.path = std::make_unique<PassThroughPath>(s.drives, s.index, *drive, s.opened->Notification(),
                                               s.messages, s.strings, s.progress, s.owner);
    s.session = std::make_unique<DownloadSession>(*s.path, s.clock, s.files);
    return s.session->Prepare(fileName, drive->product, productCode);
}

const DownloadPlan& PassThroughUpdate::Plan() const {
    return stages_->session->Plan();
}

DiscProbe PassThroughUpdate::ProbeDisc() {
    return stages_->path->ProbeDisc();
}

DownloadOutcome PassThroughUpdate::Write(DownloadWatch* watch) {
    return stages_->session->Write(watch);
}

int FirmwareDownload::DownloadFirmware(PassThroughDriveList& drives, int index,
                                       const std::string& fileName, WindowHandle owner,
                                       uint32_t productCode, ProgressControl& progress) {
    outcome_ = DownloadOutcome();
    PassThroughUpdate update(clock_, messages_, files_, strings_, drives, index, progress, owner);
    if (update.Prepare(fileName, productCode))
        outcome_ = update.Write(nullptr);
    return outcome_.updated ? 1 : 0;
}

}  // namespace quillet
