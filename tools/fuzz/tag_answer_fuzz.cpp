// The drive's firmware tag (READ BUFFER of 8 bytes at 0x8004) through both transports, and the
// image section it picks. Input: byte 0 the ASPI request status and byte 1 its host adapter
// status; byte 2 bit 0 set refuses the pass-through call; byte 3 the drive's SCSI status on
// pass-through; bytes 4..19 the product field of the drive's INQUIRY answer; the rest is what the
// drive moves for READ BUFFER, of any length (the transport takes what fits its buffer).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "device/aspi_transport.h"
#include "device/commands.h"
#include "device/pass_through.h"
#include "platform/pass_through_record.h"
#include "platform/virtual_clock.h"
#include "update/firmware_image.h"

namespace {

using namespace quillet;

constexpr size_t kHeader = 4;
constexpr size_t kProductLength = 16;

struct Input {
    uint8_t aspiStatus = 0;
    uint8_t aspiHostStatus = 0;
    bool callRefused = false;
    uint8_t scsiStatus = 0;
    std::string product;
    const uint8_t* answer = nullptr;
    size_t answerSize = 0;
};

void Deliver(const Input& input, uint8_t* buffer, uint32_t length) {
    const size_t count = std::min<size_t>(input.answerSize, length);
    if (count > 0)
        std::memcpy(buffer, input.answer, count);
}

// The command every tag read must be: READ BUFFER, data mode, offset 0x8004, 8 bytes.
void CheckTagCommand(const uint8_t* cdb, size_t length) {
    static const uint8_t kExpected[10] = {0x3C, 0x02, 0x00, 0x00, 0x80,
                                          0x04, 0x00, 0x00, 0x08, 0x00};
    if (length != sizeof kExpected || std::memcmp(cdb, kExpected, sizeof kExpected) != 0)
        std::abort();
}

class TagLibrary : public AspiLibrary {
public:
    explicit TagLibrary(const Input& input) : input_(input) {}
    bool Load(const std::string&) override { return true; }
    bool HasEntryPoints() override { return true; }
    uint32_t GetSupportInfo() override { return (uint32_t{kRequestCompleted} << 8) | 1; }
    uint32_t SendCommand(void* requestBlock) override {
        const uint8_t command = static_cast<uint8_t*>(requestBlock)[0];
        if (command == kSrbAbort)
            return kRequestCompleted;
        if (command != kSrbExecScsiCommand)
            std::abort();
        auto* block = static_cast<SrbExecScsiCommand*>(requestBlock);
        CheckTagCommand(block->CDBByte, block->SRB_CDBLen);
        if (block->SRB_BufLen != kAspiInquiryLength || block->SRB_BufPointer == nullptr)
            std::abort();
        Deliver(input_, block->SRB_BufPointer, block->SRB_BufLen);
        block->SRB_HaStat = input_.aspiHostStatus;
        block->SRB_Status = input_.aspiStatus;
        // A request still pending is given up after the event wait.
        return input_.aspiStatus;
    }
    void Free() override {}

private:
    const Input& input_;
};

class NoEvents : public EventService {
public:
    EventHandle Create() override { return 1; }
    bool Signal(EventHandle) override { return true; }
    WaitOutcome Wait(EventHandle, uint32_t) override { return WaitOutcome::TimedOut; }
    void Close(EventHandle) override {}
};

class AnyMessages : public MessageBoxService {
public:
    MessageButton Show(const std::string&, const std::string&, MessageIcon, bool,
                       WindowHandle) override {
        return MessageButton::Ok;
    }
};

// The pass-through record answered as the storage stack does, in place.
class TagVolumes : public VolumeDevices {
public:
    explicit TagVolumes(const Input& input) : input_(input) {}
    VolumeHandle Open(char, VolumeAccess) override { return 1; }
    bool IoControl(VolumeHandle, uint32_t code, void* in, uint32_t inLength, void* out,
                   uint32_t outLength, uint32_t* returned) override {
        *returned = 0;
        PassThroughFields fields;
        if (code != kIoctlScsiPassThroughDirect || in != out ||
            !DecodePassThroughRecord(static_cast<uint8_t*>(in), inLength, outLength, &fields))
            std::abort();
        CheckTagCommand(fields.cdb.data(), fields.cdbLength);
        if (fields.dataLength != kTagLength || fields.dataIn != kPassThroughDataIn)
            std::abort();
        if (input_.callRefused)
            return false;
        Deliver(input_, static_cast<uint8_t*>(fields.data), fields.dataLength);
        SetPassThroughRecordStatus(static_cast<uint8_t*>(in), input_.scsiStatus);
        *returned = outLength;
        return true;
    }
    void Close(VolumeHandle) override {}

private:
    const Input& input_;
};

// What the tag must be: the first 8 bytes that reach the buffer, up to the first zero byte.
std::string ExpectedTag(const Input& input) {
    uint8_t buffer[kTagLength] = {};
    Deliver(input, buffer, kTagLength);
    size_t length = 0;
    while (length < kTagLength && buffer[length] != 0)
        ++length;
    return std::string(reinterpret_cast<const char*>(buffer), length);
}

void CheckAspiTag(const Input& input) {
    TagLibrary library(input);
    NoEvents events;
    VirtualClock clock;
    AnyMessages messages;
    RequestKeep keep;  // a given-up request stays here until the transport is gone
    AspiTransport transport(library, events, clock, messages, keep);
    if (!transport.LoadAspi())
        std::abort();
    std::string tag = "stale";
    const bool read = transport.ReadFirmwareTag(DriveAddress(), &tag);
    if (read != (input.aspiStatus == kRequestCompleted))
        std::abort();
    if (tag != (read ? ExpectedTag(input) : std::string("stale")))
        std::abort();
}

// An image of two tagged sections, MTX5160E's then MTX5160S's, as the demo's folder has it.
class TwoSections : public FirmwareFile {
public:
    TwoSections() {
        Section("MTX5160E", 40);
        Section("MTX5160S", 52);
    }
    uint32_t Read(void* buffer, uint32_t count) override {
        const size_t available = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
        const uint32_t delivered = static_cast<uint32_t>(std::min<size_t>(count, available));
        if (delivered > 0)
            std::memcpy(buffer, bytes_.data() + position_, delivered);
        position_ += delivered;
        return delivered;
    }
    void Seek(uint64_t offset) override { position_ = static_cast<size_t>(offset); }
    uint64_t Length() override { return bytes_.size(); }
    void Close() override {}

private:
    void Section(const char* tag, uint8_t length) {
        const uint8_t header[4] = {0, 0, 0, length};
        bytes_.insert(bytes_.end(), header, header + 4);
        bytes_.insert(bytes_.end(), tag, tag + kFirmwareTagSize);
        bytes_.resize(bytes_.size() + length - kSectionHeaderSize, 0xA5);
    }
    std::vector<uint8_t> bytes_;
    size_t position_ = 0;
};

void CheckPassThroughTag(const Input& input) {
    TagVolumes volumes(input);
    VirtualClock clock;
    PassThroughTransport transport(volumes, clock);
    DriveAddress address;
    address.handle = transport.OpenDrive('A', VolumeAccess::ReadWrite);
    std::string tag = "stale";
    const bool read = transport.Commands().ReadFirmwareTag(address, &tag);
    if (read != !input.callRefused)
        std::abort();
    if (tag != (read ? ExpectedTag(input) : std::string()))
        std::abort();

    // The tag picks the section: only for the tagged models, only the section that carries it.
    TwoSections file;
    FirmwareImage image;
    int reads = 0;
    const LocateResult result = LocateImage(
        file, input.product,
        [&](std::string* out) {
            ++reads;
            return transport.Commands().ReadFirmwareTag(address, out);
        },
        &image);
    const bool tagged = IsTaggedModel(input.product);
    if (tagged != (input.product.compare(0, 8, "MTX5160E") == 0 ||
                   input.product.compare(0, 8, "MTX5160S") == 0))
        std::abort();
    if (reads != (tagged ? 1 : 0))
        std::abort();
    if (!tagged) {
        if (result != LocateResult::Located || image.section != 0)
            std::abort();
        return;
    }
    const int expected = !read ? 0 : tag == "MTX5160E" ? 1 : tag == "MTX5160S" ? 2 : 0;
    if (result != (expected ? LocateResult::Located : LocateResult::ReadError))
        std::abort();
    if (expected && (image.section != expected || image.driveTag != tag))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeader + kProductLength)
        return 0;
    Input input;
    input.aspiStatus = data[0];
    input.aspiHostStatus = data[1];
    input.callRefused = (data[2] & 1) != 0;
    input.scsiStatus = data[3];
    input.product.assign(reinterpret_cast<const char*>(data + kHeader), kProductLength);
    // A copy of exactly the answer's size, so that a read past it is caught.
    const std::vector<uint8_t> answer(data + kHeader + kProductLength, data + size);
    input.answer = answer.data();
    input.answerSize = answer.size();

    CheckAspiTag(input);
    CheckPassThroughTag(input);
    return 0;
}
