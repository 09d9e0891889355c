// A drive's INQUIRY answer and the rule that tells the maker's drives from others, for both
// transports. The first byte says how the answer arrives: bit 0 set, the ASPI request ends with
// an error instead of completing; bits 1..7 are ignored. The rest is the answer, of any length:
// shorter than the identification, longer than either buffer, with an additional-length byte
// that says anything.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "device/aspi_transport.h"
#include "device/commands.h"
#include "platform/virtual_clock.h"

namespace {

using namespace quillet;

constexpr char kVendor[] = "KORVIN  ";
constexpr size_t kTextStart = 8;
constexpr uint8_t kPeripheralCdDvd = 0x05;
constexpr uint8_t kOwnScsiId = 7;

struct Answer {
    const uint8_t* bytes;
    size_t size;
};

// The data-in part of a command as a drive gives it: what fits into the buffer.
void Deliver(const Answer& answer, uint8_t* buffer, uint32_t length) {
    const size_t count = std::min<size_t>(answer.size, length);
    if (count > 0)
        std::memcpy(buffer, answer.bytes, count);
}

// The pass-through side's commands over a transport that always carries the call.
class AnsweringTransport : public ScsiTransport {
public:
    explicit AnsweringTransport(Answer answer) : answer_(answer) {}
    bool Execute(const DriveAddress&, ScsiRequest& request) override {
        if (request.data != nullptr && request.direction == DataDirection::In)
            Deliver(answer_, request.data, request.dataLength);
        request.ioControlSucceeded = true;
        return true;
    }

private:
    Answer answer_;
};

// An ASPI library with one adapter and one drive, at target 0, LUN 0, that answers at once.
class OneDriveLibrary : public AspiLibrary {
public:
    OneDriveLibrary(Answer answer, bool fails) : answer_(answer), fails_(fails) {}
    bool Load(const std::string&) override { return true; }
    bool HasEntryPoints() override { return true; }
    uint32_t GetSupportInfo() override { return (uint32_t{kRequestCompleted} << 8) | 1; }
    uint32_t SendCommand(void* requestBlock) override {
        const uint8_t command = static_cast<uint8_t*>(requestBlock)[0];
        if (command == kSrbHostAdapterInquiry) {
            auto* inquiry = static_cast<SrbHostAdapterInquiry*>(requestBlock);
            inquiry->HA_SCSI_ID = kOwnScsiId;
            inquiry->SRB_Status = kRequestCompleted;
            return kRequestCompleted;
        }
        if (command != kSrbExecScsiCommand)
            return kRequestInvalid;
        auto* block = static_cast<SrbExecScsiCommand*>(requestBlock);
        if (block->SRB_Target != 0 || block->SRB_Lun != 0) {
            block->SRB_Status = kRequestNoDevice;
            return kRequestNoDevice;
        }
        ++inquiries;
        Deliver(answer_, block->SRB_BufPointer, block->SRB_BufLen);
        block->SRB_Status = fails_ ? kRequestError : kRequestCompleted;
        return block->SRB_Status;
    }
    void Free() override {}

    int inquiries = 0;

private:
    Answer answer_;
    bool fails_;
};

class NoEvents : public EventService {
public:
    EventHandle Create() override { return 1; }
    bool Signal(EventHandle) override { return true; }
    WaitOutcome Wait(EventHandle, uint32_t) override { return WaitOutcome::Signalled; }
    void Close(EventHandle) override {}
};

class SilentMessages : public MessageBoxService {
public:
    MessageButton Show(const std::string&, const std::string&, MessageIcon, bool,
                       WindowHandle) override {
        std::abort();  // nothing in a search is worth a message box
    }
};

// The answer as the buffer of `length` bytes holds it: cleared, then filled.
std::vector<uint8_t> Held(const Answer& answer, size_t length) {
    std::vector<uint8_t> held(length, 0);
    Deliver(answer, held.data(), static_cast<uint32_t>(length));
    return held;
}

bool LowerEquals(const std::string& text, const char* lower) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (((c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c) != lower[i])
            return false;
    }
    return true;
}

// The identity's parts lie where they belong in the text, and nowhere past it.
void CheckParts(const DriveIdentity& identity, const std::string& text) {
    if (identity.vendor.size() > 8 || identity.product.size() > 16 || identity.revision.size() > 4)
        std::abort();
    const std::string joined = identity.vendor + identity.product + identity.revision;
    if (text.compare(0, joined.size(), joined) != 0)
        std::abort();
    if ((identity.product.size() < 16 && !identity.revision.empty()) ||
        (identity.vendor.size() < 8 && !identity.product.empty()))
        std::abort();
}

void CheckText(const uint8_t* data, size_t size) {
    const std::string text = IdentificationText(data, size);
    // Bytes 8.. up to the first zero byte, never past the data.
    if (size <= kTextStart) {
        if (!text.empty())
            std::abort();
        return;
    }
    if (text.size() > size - kTextStart || text.find('\0') != std::string::npos ||
        std::memcmp(text.data(), data + kTextStart, text.size()) != 0)
        std::abort();
    if (kTextStart + text.size() < size && data[kTextStart + text.size()] != 0)
        std::abort();
}

void CheckAspiRule(const uint8_t* data, size_t size) {
    DriveIdentity identity;
    identity.vendor = "untouched";
    const int result = IdentifyAspiInquiry(data, size, &identity);
    const std::string text = IdentificationText(data, size);
    const bool maker = text.compare(0, 8, kVendor) == 0;
    if (result != (maker ? (data[0] & 0x1F) : -1))
        std::abort();
    if (!maker) {
        if (identity.vendor != "untouched")
            std::abort();
        return;
    }
    if (identity.vendor != kVendor || !identity.text.empty())
        std::abort();
    CheckParts(identity, text);
    DriveIdentity again;
    if (IdentifyAspiInquiry(data, size, &again) != result || again.product != identity.product ||
        again.revision != identity.revision)
        std::abort();
}

void CheckPassThroughRule(const uint8_t* data, size_t size) {
    DriveIdentity identity;
    identity.text = "untouched";
    const bool accepted = IdentifyPassThroughInquiry(data, size, &identity);
    const std::string text = IdentificationText(data, size);
    const bool maker = size > 0 && data[0] == kPeripheralCdDvd && text.size() >= 8 &&
                       LowerEquals(text.substr(0, 8), "korvin  ");
    if (accepted != maker)
        std::abort();
    if (!accepted) {
        if (identity.text != "untouched")
            std::abort();
        return;
    }
    if (identity.text != text.substr(0, 28))
        std::abort();
    CheckParts(identity, identity.text);
}

// The ASPI search over the library: the drive is listed exactly when the rule accepts the
// 128 bytes of its buffer as a CD/DVD drive of the maker's, with the identity the rule gives.
void CheckAspiSearch(const Answer& answer, bool fails) {
    OneDriveLibrary library(answer, fails);
    NoEvents events;
    VirtualClock clock;
    SilentMessages messages;
    RequestKeep keep;
    AspiTransport transport(library, events, clock, messages, keep);
    if (!transport.LoadAspi())
        std::abort();
    transport.ScanAdapters();
    if (library.inquiries != 1)
        std::abort();
    const std::vector<uint8_t> held = Held(answer, kAspiInquiryLength);
    DriveIdentity expected;
    const bool listed =
        !fails && IdentifyAspiInquiry(held.data(), held.size(), &expected) == kPeripheralCdDvd;
    if (transport.DriveCount() != (listed ? 1 : 0))
        std::abort();
    if (listed) {
        const DriveIdentity found = transport.Identity(0);
        if (found.vendor != expected.vendor || found.product != expected.product ||
            found.revision != expected.revision || transport.Address(0).target != 0)
            std::abort();
    }
}

void CheckPassThroughIdentify(const Answer& answer) {
    AnsweringTransport transport(answer);
    VirtualClock clock;
    PassThroughCommands commands(transport, clock);
    DriveIdentity identity;
    const bool accepted = commands.IdentifyDrive(DriveAddress(), &identity);
    const std::vector<uint8_t> held = Held(answer, kPassThroughInquiryLength);
    DriveIdentity expected;
    if (accepted != IdentifyPassThroughInquiry(held.data(), held.size(), &expected))
        std::abort();
    if (accepted && identity.text != expected.text)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const bool aspiFails = (data[0] & 1) != 0;
    // A copy of exactly the answer's size, so that a read past it is caught.
    const std::vector<uint8_t> bytes(data + 1, data + size);
    const uint8_t* answer = bytes.empty() ? nullptr : bytes.data();

    CheckText(answer, bytes.size());
    CheckAspiRule(answer, bytes.size());
    CheckPassThroughRule(answer, bytes.size());
    CheckAspiSearch(Answer{answer, bytes.size()}, aspiFails);
    CheckPassThroughIdentify(Answer{answer, bytes.size()});
    return 0;
}
