#include "device/commands.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "device/sense_text.h"

namespace quillet {
namespace {

constexpr uint8_t kModeData = 0x02;
constexpr uint8_t kModeDownloadAndSave = 0x05;
constexpr uint8_t kStartStopLoad = 0x03;   // load-eject and start: close the tray, spin up
constexpr uint8_t kStartStopEject = 0x02;  // load-eject only: open the tray
constexpr uint8_t kPeripheralCdDvd = 0x05;
constexpr size_t kTextStart = 8;
constexpr size_t kPassThroughTextLimit = 28;
const char kVendor[] = "KORVIN  ";
constexpr size_t kVendorLength = 8;

void PutBigEndian24(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value >> 16);
    at[1] = static_cast<uint8_t>(value >> 8);
    at[2] = static_cast<uint8_t>(value);
}

ScsiRequest NewRequest(TransportKind kind, std::initializer_list<uint8_t> cdb) {
    ScsiRequest request;
    std::copy(cdb.begin(), cdb.end(), request.cdb.begin());
    request.cdbLength = static_cast<uint8_t>(cdb.size());
    request.senseLength = kind == TransportKind::Aspi ? kAspiSenseLength : kPassThroughSenseLength;
    request.timeoutSeconds = 30;
    return request;
}

// The pass-through side declares "data in" for every command but WRITE BUFFER, even with no data.
DataDirection NoDataDirection(TransportKind kind) {
    return kind == TransportKind::Aspi ? DataDirection::None : DataDirection::In;
}

void SplitIdentity(const std::string& text, DriveIdentity* identity) {
    auto part = [&text](size_t from, size_t count) {
        return from < text.size() ? text.substr(from, count) : std::string();
    };
    identity->vendor = part(0, 8);
    identity->product = part(8, 16);
    identity->revision = part(24, 4);
}

bool EqualsIgnoringCase(const std::string& a, const char* b, size_t length) {
    if (a.size() != length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::string TagText(const uint8_t* buffer) {
    const char* text = reinterpret_cast<const char*>(buffer);
    return std::string(text, strnlen(text, kTagLength));
}

}  // namespace

std::string IdentificationText(const uint8_t* data, size_t length) {
    if (data == nullptr || length <= kTextStart)
        return std::string();
    const char* text = reinterpret_cast<const char*>(data + kTextStart);
    size_t available = length - kTextStart;
    const void* zero = std::memchr(text, 0, available);
    size_t size = zero ? static_cast<size_t>(static_cast<const char*>(zero) - text) : available;
    return std::string(text, size);
}

ScsiRequest TestUnitReadyRequest(TransportKind kind) {
    ScsiRequest request = NewRequest(kind, {kOpTestUnitReady, 0, 0, 0, 0, 0});
    request.direction = NoDataDirection(kind);
    request.completion = Completion::PollSleeping;
    return request;
}

ScsiRequest StartStopUnitRequest(TransportKind kind, StartStopMode mode) {
    uint8_t action = mode == StartStopMode::Load ? kStartStopLoad : kStartStopEject;
    ScsiRequest request = NewRequest(kind, {kOpStartStopUnit, 0, 0, 0, action, 0});
    request.direction = NoDataDirection(kind);
    request.completion = Completion::PollSleeping;
    return request;
}

ScsiRequest InquiryRequest(TransportKind kind, uint8_t* buffer, uint32_t length) {
    // ASPI asks for 128 bytes; pass-through asks for 255 and lends a 1024-byte buffer.
    uint8_t allocation = kind == TransportKind::Aspi ? 0x80 : 0xFF;
    ScsiRequest request = NewRequest(kind, {kOpInquiry, 0, 0, 0, allocation, 0});
    request.direction = DataDirection::In;
    request.data = buffer;
    request.dataLength = length;
    request.completion = Completion::EventWait;
    return request;
}

ScsiRequest ReadBufferRequest(TransportKind kind, uint32_t offset, uint8_t* buffer,
                              uint32_t allocationLength, uint32_t transferLength) {
    ScsiRequest request = NewRequest(kind, {kOpReadBuffer, kModeData, 0, 0, 0, 0, 0, 0, 0, 0});
    PutBigEndian24(&request.cdb[3], offset & kMaxBufferField);
    PutBigEndian24(&request.cdb[6], allocationLength & kMaxBufferField);
    request.direction = DataDirection::In;
    request.data = buffer;
    request.dataLength = transferLength;
    request.completion = Completion::EventWait;
    return request;
}

std::array<uint8_t, kWriteBufferCdbLength> WriteBufferCdb(uint32_t offset, uint32_t length) {
    std::array<uint8_t, kWriteBufferCdbLength> cdb = {kOpWriteBuffer, kModeDownloadAndSave};
    PutBigEndian24(&cdb[3], offset & kMaxBufferField);
    PutBigEndian24(&cdb[6], length & kMaxBufferField);
    return cdb;
}

ScsiRequest WriteBufferRequest(TransportKind kind, uint32_t offset, const uint8_t* data,
                               uint32_t length) {
    ScsiRequest request = NewRequest(kind, {});
    const std::array<uint8_t, kWriteBufferCdbLength> cdb = WriteBufferCdb(offset, length);
    std::copy(cdb.begin(), cdb.end(), request.cdb.begin());
    request.cdbLength = kWriteBufferCdbLength;
    request.direction = DataDirection::Out;
    // The transports only read an outgoing buffer.
    request.data = const_cast<uint8_t*>(data);
    request.dataLength = length;
    request.senseLength = kWriteBufferSenseLength;
    request.completion = Completion::PollBusy;
    return request;
}

uint8_t NoMediumQualifier(const uint8_t* sense, size_t senseLength) {
    // Descriptor-format sense has its fields elsewhere; bytes in no known format say nothing.
    const SenseFields fields = ReadSenseFields(sense, senseLength);
    if (fields.knownFormat && fields.hasCode && fields.key == kSenseNotReady &&
        fields.code == kSenseCodeNoMedium) {
        return fields.qualifier;
    }
    return 0;
}

int IdentifyAspiInquiry(const uint8_t* data, size_t length, DriveIdentity* identity) {
    if (data == nullptr || length == 0)
        return -1;
    std::string text = IdentificationText(data, length);
    // Exact comparison of the first eight characters: a shorter text never matches.
    if (text.compare(0, kVendorLength, kVendor) != 0)
        return -1;
    DriveIdentity found;
    SplitIdentity(text, &found);
    if (identity)
        *identity = found;
    return data[0] & 0x1F;
}

bool IdentifyPassThroughInquiry(const uint8_t* data, size_t length, DriveIdentity* identity) {
    if (data == nullptr || length == 0 || data[0] != kPeripheralCdDvd)
        return false;
    std::string text = IdentificationText(data, length).substr(0, kPassThroughTextLimit);
    if (!EqualsIgnoringCase(text.substr(0, kVendorLength), kVendor, kVendorLength))
        return false;
    DriveIdentity found;
    SplitIdentity(text, &found);
    found.text = text;
    if (identity)
        *identity = found;
    return true;
}

// ASPI

int AspiCommands::TestUnitReady(const DriveAddress& address, ScsiRequest* request) {
    ScsiRequest local = TestUnitReadyRequest(TransportKind::Aspi);
    ScsiRequest& r = request ? *request : local;
    if (request)
        r = local;
    transport_.Execute(address, r);
    return (r.requestStatus == kRequestCompleted && r.hostStatus == kHostOk) ? 0 : -1;
}

int AspiCommands::StartStopUnit(const DriveAddress& address, StartStopMode mode) {
    ScsiRequest request = StartStopUnitRequest(TransportKind::Aspi, mode);
    transport_.Execute(address, request);
    return (request.requestStatus == kRequestCompleted && request.hostStatus == kHostOk) ? 0 : -1;
}

bool AspiCommands::Inquiry(const DriveAddress& address, uint8_t* buffer, ScsiRequest* request) {
    std::memset(buffer, 0, kAspiInquiryLength);
    *request = InquiryRequest(TransportKind::Aspi, buffer, kAspiInquiryLength);
    return transport_.Execute(address, *request);
}

bool AspiCommands::ReadFirmwareTag(const DriveAddress& address, std::string* tag) {
    uint8_t buffer[kAspiInquiryLength] = {};
    ScsiRequest request =
        ReadBufferRequest(TransportKind::Aspi, kTagOffset, buffer, kTagLength, kAspiInquiryLength);
    if (!transport_.Execute(address, request) || request.requestStatus != kRequestCompleted) {
        return false;
    }
    *tag = TagText(buffer);
    return true;
}

bool AspiCommands::WaitUntilReady(const DriveAddress& address) {
    StartStopUnit(address, StartStopMode::Load);
    for (int attempt = 0; attempt < kReadyAttempts; ++attempt) {
        ScsiRequest request;
        TestUnitReady(address, &request);
        if (request.requestStatus == kRequestCompleted ||
            request.sense[kSenseCodeIndex] == kSenseCodeNoMedium) {
            return true;
        }
        clock_.Sleep(kReadyRetryMs);
    }
    return false;
}

int AspiCommands::IdentifyDrive(const DriveAddress& address, uint8_t* buffer,
                                DriveIdentity* identity) {
    ScsiRequest request;
    if (!Inquiry(address, buffer, &request))
        return -1;
    if (request.requestStatus != kRequestCompleted)
        return 0;
    return IdentifyAspiInquiry(buffer, kAspiInquiryLength, identity);
}

// Pass-through

bool PassThroughCommands::TestUnitReady(const DriveAddress& address, uint8_t* qualifier) {
    ScsiRequest request = TestUnitReadyRequest(TransportKind::PassThrough);
    // Older command sets carry the logical unit in the top three bits of byte 1.
    request.cdb[1] = static_cast<uint8_t>(address.lunId << 5);
    bool carried = transport_.Execute(address, request);
    if (!carried) {
        if (qualifier)
            *qualifier = 0;
        return false;
    }
    if (qualifier)
        *qualifier = NoMediumQualifier(request.sense.data(), request.senseLength);
    return request.targetStatus == kStatusGood;
}

bool PassThroughCommands::StartStopUnit(const DriveAddress& address, int ejectFlag) {
    ScsiRequest request = StartStopUnitRequest(
        TransportKind::PassThrough, ejectFlag == 0 ? StartStopMode::Load : StartStopMode::Eject);
    return transport_.Execute(address, request);
}

bool PassThroughCommands::Inquiry(const DriveAddress& address, uint8_t* buffer, uint32_t length) {
    std::memset(buffer, 0, length);
    ScsiRequest request = InquiryRequest(TransportKind::PassThrough, buffer, length);
    return transport_.Execute(address, request);
}

bool PassThroughCommands::ReadBuffer(const DriveAddress& address, uint32_t offset, uint8_t* buffer,
                                     uint32_t length) {
    length &= kMaxBufferField;
    std::memset(buffer, 0, length);
    ScsiRequest request =
        ReadBufferRequest(TransportKind::PassThrough, offset, buffer, length, length);
    return transport_.Execute(address, request);
}

bool PassThroughCommands::WriteFirmwareBlock(const DriveAddress& address, uint32_t offset,
                                             const uint8_t* data, uint32_t length,
                                             ScsiRequest* request) {
    ScsiRequest local = WriteBufferRequest(TransportKind::PassThrough, offset, data, length);
    ScsiRequest& r = request ? *request : local;
    if (request)
        r = local;
    return transport_.Execute(address, r);
}

bool PassThroughCommands::ReadFirmwareTag(const DriveAddress& address, std::string* tag) {
    uint8_t buffer[kTagLength];
    bool carried = ReadBuffer(address, kTagOffset, buffer, kTagLength);
    *tag = carried ? TagText(buffer) : std::string();
    return carried;
}

bool PassThroughCommands::WaitUntilReady(const DriveAddress& address) {
    StartStopUnit(address, 0);
    for (int attempt = 0; attempt < kReadyAttempts; ++attempt) {
        uint8_t qualifier = 0;
        if (TestUnitReady(address, &qualifier) || qualifier == 0x01)
            return true;
        clock_.Sleep(kReadyRetryMs);
    }
    return false;
}

bool PassThroughCommands::IdentifyDrive(const DriveAddress& address, DriveIdentity* identity) {
    uint8_t buffer[kPassThroughInquiryLength];
    if (!Inquiry(address, buffer, kPassThroughInquiryLength))
        return false;
    return IdentifyPassThroughInquiry(buffer, kPassThroughInquiryLength, identity);
}

}  // namespace quillet
