// The SG_IO header as the Linux service reads it after a command, under the pass-through
// transport and the transcript. Input: byte 0 picks the command (0 TEST UNIT READY, 1 INQUIRY,
// 2 READ BUFFER of the tag, 3 WRITE BUFFER); byte 1 status; byte 2 masked_status; bytes 3-4
// host_status and 5-6 driver_status (little-endian); byte 7 sb_len_wr; bytes 8-11 resid,
// 12-15 info, 16-19 duration (little-endian); byte 20 the errno of a failed call (0: the call
// succeeds); byte 21 the number of sense bytes that follow, then those bytes (the kernel writes
// at most mx_sb_len of them, whatever sb_len_wr says); the rest is the data the drive moves in.
#include <scsi/sg.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "cli/drive_backends.h"
#include "cli/transcript.h"
#include "device/commands.h"
#include "device/pass_through.h"
#include "platform/linux/sg_volume_devices.h"
#include "platform/virtual_clock.h"

namespace {

using namespace quillet;

constexpr size_t kHeader = 22;
constexpr int kFd = 5;

struct Answer {
    uint8_t command = 0;
    uint8_t status = 0;
    uint8_t maskedStatus = 0;
    uint16_t hostStatus = 0;
    uint16_t driverStatus = 0;
    uint8_t senseWritten = 0;
    int32_t resid = 0;
    uint32_t info = 0;
    uint32_t duration = 0;
    int error = 0;
    std::vector<uint8_t> sense;
    std::vector<uint8_t> data;
};

uint32_t Little(const uint8_t* at, size_t count) {
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i)
        value |= uint32_t{at[i]} << (8 * i);
    return value;
}

bool IsPrintable(const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
            return false;
    }
    return true;
}

// The kernel as the input has it answer: within the buffers it was given, with header fields
// that say anything.
class AnsweringSg : public SgSystem {
public:
    explicit AnsweringSg(const Answer& answer) : answer_(answer) {}
    int Open(const std::string&, int, int*) override { return kFd; }
    int SgIo(int fd, sg_io_hdr_t* header, int* error) override {
        if (fd != kFd || header->interface_id != 'S')
            std::abort();
        ++calls;
        mxSbLen = header->mx_sb_len;
        senseCopied = std::min<size_t>(answer_.sense.size(), header->mx_sb_len);
        if (senseCopied > 0)
            std::memcpy(header->sbp, answer_.sense.data(), senseCopied);
        if (header->dxfer_direction == SG_DXFER_FROM_DEV) {
            const size_t count = std::min<size_t>(answer_.data.size(), header->dxfer_len);
            if (count > 0)
                std::memcpy(header->dxferp, answer_.data.data(), count);
        }
        header->status = answer_.status;
        header->masked_status = answer_.maskedStatus;
        header->host_status = answer_.hostStatus;
        header->driver_status = answer_.driverStatus;
        header->sb_len_wr = answer_.senseWritten;
        header->resid = answer_.resid;
        header->info = answer_.info;
        header->duration = answer_.duration;
        if (answer_.error != 0) {
            *error = answer_.error;
            return -1;
        }
        *error = 0;
        return 0;
    }
    void Close(int) override {}
    bool ReadText(const std::string&, std::string*) override { return false; }
    bool WriteText(const std::string&, const std::string&, int*) override { return false; }
    std::vector<std::string> List(const std::string&) override { return {}; }
    bool MayAccess(const std::string&, int, int* error) override {
        *error = 0;
        return true;
    }
    bool MaySendAnyCommand() override { return true; }

    int calls = 0;
    size_t mxSbLen = 0;
    size_t senseCopied = 0;

private:
    const Answer& answer_;
};

struct Outcome {
    bool carried = false;
    uint8_t targetStatus = 0;
    std::string problem;
    std::string transcript;
};

Outcome Run(const Answer& answer) {
    AnsweringSg sg(answer);
    SgBackend backend(sg, "/dev/sg3");
    VirtualClock clock;
    std::ostringstream out;
    TranscribedBackend transcribed(backend, clock, {&out});
    PassThroughTransport transport(transcribed.Volumes(), clock);
    DriveAddress address;
    address.handle = transport.OpenDrive('A', VolumeAccess::ReadWrite);
    if (address.handle == kInvalidVolumeHandle)
        std::abort();

    std::vector<uint8_t> buffer(2048, 0);
    ScsiRequest request;
    switch (answer.command % 4) {
        case 0:
            request = TestUnitReadyRequest(TransportKind::PassThrough);
            break;
        case 1:
            request = InquiryRequest(TransportKind::PassThrough, buffer.data(),
                                     kPassThroughInquiryLength);
            break;
        case 2:
            request = ReadBufferRequest(TransportKind::PassThrough, kTagOffset, buffer.data(),
                                        kTagLength, kTagLength);
            break;
        default:
            request = WriteBufferRequest(TransportKind::PassThrough, 0, buffer.data(), 2048);
            break;
    }
    Outcome outcome;
    outcome.carried = transport.Execute(address, request);
    outcome.targetStatus = request.targetStatus;
    outcome.problem = backend.Problem();
    outcome.transcript = out.str();
    if (sg.calls != 1 || request.ioControlSucceeded != outcome.carried)
        std::abort();

    const SgProblem& problem = static_cast<const SgVolumeDevices&>(backend.Volumes()).LastProblem();
    // A command succeeds only when the call and every status field of the header say so.
    const int driver = answer.driverStatus & 0x0F;
    const bool allGood = answer.error == 0 && answer.hostStatus == 0 &&
                         (driver == 0 || driver == 0x08) && answer.status == 0 &&
                         (answer.maskedStatus & 0x7F) == 0;
    const bool succeeded = outcome.carried && request.targetStatus == kStatusGood;
    if (succeeded != allGood)
        std::abort();
    if (succeeded != (problem.kind == SgProblemKind::None))
        std::abort();
    if (outcome.carried && request.targetStatus != kStatusGood &&
        problem.kind != SgProblemKind::Rejected)
        std::abort();
    // Never more sense than the kernel was given room for, nor more than it says it wrote.
    if (problem.sense.size() > sg.mxSbLen || problem.sense.size() > answer.senseWritten ||
        problem.sense.size() > kMaxSenseLength)
        std::abort();
    for (size_t i = 0; i < problem.sense.size(); ++i) {
        if (problem.sense[i] != (i < sg.senseCopied ? answer.sense[i] : 0))
            std::abort();
    }
    // The request's sense is what the kernel wrote and nothing more.
    for (size_t i = 0; i < request.sense.size(); ++i) {
        const uint8_t expected =
            outcome.carried && i < sg.senseCopied && i < request.senseLength ? answer.sense[i] : 0;
        if (request.sense[i] != expected)
            std::abort();
    }
    if (!IsPrintable(outcome.problem))
        std::abort();
    uint8_t host = 0;
    uint8_t driverSeen = 0;
    if (!transcribed.TransportStatus(&host, &driverSeen))
        std::abort();
    if (answer.error == 0 &&
        (host != (answer.hostStatus & 0xFF) || driverSeen != (answer.driverStatus & 0xFF)))
        std::abort();
    transport.CloseDrive(address.handle);
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeader)
        return 0;
    Answer answer;
    answer.command = data[0];
    answer.status = data[1];
    answer.maskedStatus = data[2];
    answer.hostStatus = static_cast<uint16_t>(Little(data + 3, 2));
    answer.driverStatus = static_cast<uint16_t>(Little(data + 5, 2));
    answer.senseWritten = data[7];
    answer.resid = static_cast<int32_t>(Little(data + 8, 4));
    answer.info = Little(data + 12, 4);
    answer.duration = Little(data + 16, 4);
    answer.error = data[20];
    const size_t senseCount = std::min<size_t>(data[21], size - kHeader);
    answer.sense.assign(data + kHeader, data + kHeader + senseCount);
    answer.data.assign(data + kHeader + senseCount, data + size);

    const Outcome first = Run(answer);
    const Outcome second = Run(answer);
    if (first.carried != second.carried || first.targetStatus != second.targetStatus ||
        first.problem != second.problem)
        std::abort();
    // The transcript (its clock starts afresh) is the same too, and never carries control bytes.
    if (first.transcript != second.transcript || first.transcript.empty())
        std::abort();
    std::istringstream lines(first.transcript);
    for (std::string line; std::getline(lines, line);) {
        if (!IsPrintable(line))
            std::abort();
    }
    return 0;
}
