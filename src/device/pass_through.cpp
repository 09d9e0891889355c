#include "device/pass_through.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace quillet {

namespace {

DriveAddress HandleAddress(VolumeHandle handle, uint8_t pathId, uint8_t targetId, uint8_t lun) {
    DriveAddress address;
    address.handle = handle;
    address.pathId = pathId;
    address.targetId = targetId;
    address.lunId = lun;
    return address;
}

}  // namespace

PassThroughTransport::PassThroughTransport(VolumeDevices& volumes, Clock& clock)
    : volumes_(volumes), commands_(*this, clock) {}

VolumeHandle PassThroughTransport::OpenDrive(char letter, VolumeAccess access) {
    return volumes_.Open(letter, access);
}

void PassThroughTransport::CloseDrive(VolumeHandle handle) {
    if (handle != kInvalidVolumeHandle)
        volumes_.Close(handle);
}

bool PassThroughTransport::Execute(const DriveAddress& address, ScsiRequest& request) {
    request.ioControlSucceeded = false;
    request.targetStatus = kStatusGood;
    request.sense.fill(0);

    PassThroughFields fields;
    fields.pathId = address.pathId;
    fields.targetId = address.targetId;
    fields.lun = address.lunId;
    fields.cdbLength = static_cast<uint8_t>(std::min<size_t>(request.cdbLength, fields.cdb.size()));
    std::copy_n(request.cdb.begin(), fields.cdbLength, fields.cdb.begin());
    fields.senseLength =
        static_cast<uint8_t>(std::min<size_t>(request.senseLength, request.sense.size()));
    fields.dataIn =
        request.direction == DataDirection::Out ? kPassThroughDataOut : kPassThroughDataIn;
    fields.dataLength = request.dataLength;
    fields.timeoutSeconds = request.timeoutSeconds;
    fields.data = request.data;

    // TEST UNIT READY hands in only the fixed part and takes a larger answer back.
    const bool testUnitReady = request.cdb[0] == kOpTestUnitReady;
    const uint32_t inLength = testUnitReady ? kPassThroughFixedSize : kPassThroughRecordSize;
    const uint32_t outLength = testUnitReady ? kTestUnitReadyOutSize : kPassThroughRecordSize;
    std::vector<uint8_t> record(outLength, 0);
    EncodePassThroughRecord(fields, record.data());

    uint32_t returned = 0;
    if (!volumes_.IoControl(address.handle, kIoctlScsiPassThroughDirect, record.data(), inLength,
                            record.data(), outLength, &returned)) {
        return false;
    }
    request.ioControlSucceeded = true;
    request.targetStatus = PassThroughRecordStatus(record.data());
    std::copy_n(record.begin() + fields.senseOffset, fields.senseLength, request.sense.begin());
    return true;
}

bool PassThroughTransport::TestUnitReady(VolumeHandle handle, uint8_t pathId, uint8_t targetId,
                                         uint8_t lun, uint8_t* qualifier) {
    return commands_.TestUnitReady(HandleAddress(handle, pathId, targetId, lun), qualifier);
}

bool PassThroughTransport::StartStopUnit(VolumeHandle handle, uint8_t pathId, uint8_t targetId,
                                         uint8_t lun, int ejectFlag) {
    return commands_.StartStopUnit(HandleAddress(handle, pathId, targetId, lun), ejectFlag);
}

bool PassThroughTransport::Inquiry(VolumeHandle handle, uint8_t pathId, uint8_t targetId,
                                   uint8_t lun, uint8_t* buffer, uint32_t length) {
    return commands_.Inquiry(HandleAddress(handle, pathId, targetId, lun), buffer, length);
}

bool PassThroughTransport::SetMediaChangeNotification(VolumeHandle handle, uint8_t switchByte) {
    PreventMediaRemoval value{switchByte};
    uint32_t returned = 0;
    return volumes_.IoControl(handle, kIoctlStorageMcnControl, &value, sizeof value, nullptr, 0,
                              &returned);
}

bool PassThroughTransport::WaitUntilReady(VolumeHandle handle, uint8_t pathId, uint8_t targetId,
                                          uint8_t lun) {
    return commands_.WaitUntilReady(HandleAddress(handle, pathId, targetId, lun));
}

DriveAddress PassThroughDrive::Address() const {
    DriveAddress address = HandleAddress(handle, pathId, targetId, lun);
    address.letter = letter;
    return address;
}

PassThroughDriveList::PassThroughDriveList(DirectorySearch& directory, FileSystem& files,
                                           ProfileReader& profile, MessageBoxService& messages,
                                           VolumeDevices& volumes, Clock& clock)
    : FileCatalog(directory, files, profile, messages), transport_(volumes, clock) {
    SearchDrives();
}

PassThroughDriveList::~PassThroughDriveList() {
    index_.clear();
    // One record at a time, so a long list never recurses through its links.
    while (head_) {
        transport_.CloseDrive(head_->handle);
        head_ = std::move(head_->next);
    }
}

void PassThroughDriveList::SearchDrives() {
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const VolumeHandle handle = transport_.OpenDrive(letter, VolumeAccess::ReadWrite);
        if (handle == kInvalidVolumeHandle)
            continue;
        DriveAddress address;
        address.letter = letter;
        address.handle = handle;
        DriveIdentity identity;
        if (transport_.Commands().IdentifyDrive(address, &identity)) {
            auto drive = std::make_unique<PassThroughDrive>();
            drive->letter = letter;
            drive->text = identity.text;
            drive->vendor = identity.vendor;
            drive->product = identity.product;
            drive->revision = identity.revision;
            drive->next = std::move(head_);
            head_ = std::move(drive);
            ++count_;
        }
        transport_.CloseDrive(handle);
    }
    if (count_ == 0)
        return;
    for (PassThroughDrive* drive = head_.get(); drive != nullptr; drive = drive->next.get())
        index_.push_back(drive);
}

const PassThroughDrive* PassThroughDriveList::At(int index) const {
    if (index < 0 || index >= count_)
        return nullptr;
    return index_[static_cast<size_t>(index)];
}

PassThroughDrive* PassThroughDriveList::Drive(int index) {
    return const_cast<PassThroughDrive*>(At(index));
}

char PassThroughDriveList::DriveLetter(int index) const {
    const PassThroughDrive* drive = At(index);
    return drive ? drive->letter : 0;
}

std::string PassThroughDriveList::Vendor(int index) const {
    const PassThroughDrive* drive = At(index);
    return drive ? drive->vendor : std::string();
}

std::string PassThroughDriveList::Product(int index) const {
    const PassThroughDrive* drive = At(index);
    return drive ? drive->product : std::string();
}

std::string PassThroughDriveList::Revision(int index) const {
    const PassThroughDrive* drive = At(index);
    return drive ? drive->revision : std::string();
}

bool PassThroughDriveList::TestUnitReady(int index, uint8_t* qualifier) {
    const PassThroughDrive* drive = At(index);
    if (!drive) {
        if (qualifier)
            *qualifier = 0;
        return false;
    }
    return transport_.Commands().TestUnitReady(drive->Address(), qualifier);
}

bool PassThroughDriveList::ReadFirmwareTag(int index, std::string* tag) {
    const PassThroughDrive* drive = At(index);
    if (!drive) {
        tag->clear();
        return false;
    }
    return transport_.Commands().ReadFirmwareTag(drive->Address(), tag);
}

}  // namespace quillet
