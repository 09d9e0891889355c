// The pass-through transport of the NT family: SCSI commands in pass-through request records on
// a drive letter's volume device, the media change notification switch, and the list of the
// maker's drives found on the letters A to Z.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/file_catalog.h"
#include "device/commands.h"
#include "device/scsi.h"
#include "platform/clock.h"
#include "platform/pass_through_record.h"
#include "platform/volume_devices.h"

namespace quillet {

// Commands on an open volume handle. Each takes the handle and the address bytes path id,
// target id and logical unit (always 0: the class driver fills in the real address).
class PassThroughTransport : public ScsiTransport {
public:
    // The services must outlive the transport.
    PassThroughTransport(VolumeDevices& volumes, Clock& clock);
    PassThroughTransport(const PassThroughTransport&) = delete;
    PassThroughTransport& operator=(const PassThroughTransport&) = delete;

    // "\\.\X:" for commands (ReadWrite) or for the notification switch only (QueryOnly);
    // kInvalidVolumeHandle when it cannot be opened.
    VolumeHandle OpenDrive(char letter, VolumeAccess access);
    void CloseDrive(VolumeHandle handle);

    // One request record on `address.handle`; true when the device control call succeeded.
    bool Execute(const DriveAddress& address, ScsiRequest& request) override;

    // True when the call succeeded and the drive said GOOD; `qualifier` gets the no-medium
    // qualifier (0x01 tray closed, 0x02 tray open, else 0; 0 when the call failed).
    bool TestUnitReady(VolumeHandle handle, uint8_t pathId, uint8_t targetId, uint8_t lun,
                       uint8_t* qualifier);
    // 0 loads (closes the tray), anything else ejects.
    bool StartStopUnit(VolumeHandle handle, uint8_t pathId, uint8_t targetId, uint8_t lun,
                       int ejectFlag);
    bool Inquiry(VolumeHandle handle, uint8_t pathId, uint8_t targetId, uint8_t lun,
                 uint8_t* buffer, uint32_t length);
    // 1 switches the system's media change notification for the device off, 0 on again.
    bool SetMediaChangeNotification(VolumeHandle handle, uint8_t switchByte);
    bool WaitUntilReady(VolumeHandle handle, uint8_t pathId, uint8_t targetId, uint8_t lun);

    PassThroughCommands& Commands() { return commands_; }

private:
    VolumeDevices& volumes_;
    PassThroughCommands commands_;
};

// One drive found by the search.
struct PassThroughDrive {
    char letter = 0;
    VolumeHandle handle = kInvalidVolumeHandle;  // open only during a download
    std::string text;                            // identification, at most 28 characters
    std::string vendor;
    std::string product;
    std::string revision;
    uint8_t targetId = 0;
    uint8_t pathId = 0;
    uint8_t lun = 0;
    std::unique_ptr<PassThroughDrive> next;

    DriveAddress Address() const;
};

// The catalogue of configuration files (its searches run first) and the maker's drives on the
// letters A to Z, the highest letter at index 0.
class PassThroughDriveList : public FileCatalog {
public:
    // The services must outlive the list.
    PassThroughDriveList(DirectorySearch& directory, FileSystem& files, ProfileReader& profile,
                         MessageBoxService& messages, VolumeDevices& volumes, Clock& clock);
    // Closes any handle a download left open, then frees the index and the records.
    ~PassThroughDriveList() override;

    int DriveCount() const { return count_; }
    // By index 0 .. DriveCount() - 1; an index out of range gives 0 or empty texts.
    char DriveLetter(int index) const;
    std::string Vendor(int index) const;
    std::string Product(int index) const;
    std::string Revision(int index) const;

    // TEST UNIT READY on the drive's record (its handle and address bytes); false for an index
    // out of range.
    bool TestUnitReady(int index, uint8_t* qualifier);
    // READ BUFFER at 0x8004, 8 bytes; the tag is cut at its first zero byte and empty when the
    // call failed.
    bool ReadFirmwareTag(int index, std::string* tag);

    // For the download: the record (its handle is set while the drive is open) and the commands.
    PassThroughDrive* Drive(int index);
    PassThroughTransport& Transport() { return transport_; }

private:
    const PassThroughDrive* At(int index) const;
    void SearchDrives();

    PassThroughTransport transport_;
    int count_ = 0;
    std::unique_ptr<PassThroughDrive> head_;  // the drive found last
    std::vector<PassThroughDrive*> index_;    // built only when a drive was found
};

}  // namespace quillet
