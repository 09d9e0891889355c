// Sense data and everything that puts it into words: the sense text, the ASPI status report over
// an execute block whose fields say anything, the no-medium qualifier, and the Linux program's
// problem description and transcript line. Input: byte 0 the command's operation code; byte 1
// the ASPI request status (and, modulo 8, the kind of problem the Linux service records); byte 2
// the host adapter status; byte 3 the SCSI status; byte 4 the block's sense length field; byte 5
// the sense length of the pass-through request; the rest is the sense data, of any length.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "cli/drive_backends.h"
#include "cli/terminal.h"
#include "cli/transcript.h"
#include "device/aspi_blocks.h"
#include "device/commands.h"
#include "device/sense_text.h"
#include "device/status_report.h"
#include "platform/pass_through_record.h"
#include "platform/virtual_clock.h"

namespace {

using namespace quillet;

constexpr size_t kHeader = 6;

bool IsPrintable(const std::string& text, bool linesAllowed) {
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if ((u < 0x20 || u >= 0x7F) && !(linesAllowed && c == '\n'))
            return false;
    }
    return true;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string Format(const char* format, unsigned a, unsigned b = 0, unsigned c = 0) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

void CheckCommandName(uint8_t opcode) {
    const std::string name = CommandName(opcode);
    if (name.empty() || !IsPrintable(name, false) || name != CommandName(opcode))
        std::abort();
}

// The words, and the no-medium qualifier, for every length up to the whole sense.
void CheckWords(const uint8_t* sense, size_t size) {
    for (size_t length = 0; length <= size; ++length) {
        const std::string words = SenseInWords(length ? sense : nullptr, length);
        if (!IsPrintable(words, false) || words.empty())
            std::abort();
        // The words name the fields the one reader finds, and only in a format it knows.
        const SenseFields fields = ReadSenseFields(sense, length);
        const bool hasKey = fields.knownFormat && fields.hasKey;
        const bool hasCode = fields.knownFormat && fields.hasCode;
        if (hasKey != Contains(words, Format("(sense key %Xh)", fields.key)))
            std::abort();
        if (hasCode !=
            Contains(words, Format("(ASC %02Xh, ASCQ %02Xh)", fields.code, fields.qualifier)))
            std::abort();
        // A drive is without a medium only when its sense says NOT READY, medium not present.
        const uint8_t qualifier = NoMediumQualifier(length ? sense : nullptr, length);
        const bool noMedium = hasCode && fields.key == 0x02 && fields.code == 0x3A;
        if (qualifier != (noMedium ? fields.qualifier : 0))
            std::abort();
    }
}

void CheckStatusReport(const uint8_t* header, const uint8_t* sense, size_t size) {
    SrbExecScsiCommand block{};
    block.SRB_Cmd = kSrbExecScsiCommand;
    block.SRB_Status = header[1];
    block.SRB_HaStat = header[2];
    block.SRB_TargStat = header[3];
    block.SRB_SenseLen = header[4];
    if (size > 0)
        std::memcpy(block.SenseArea, sense, std::min(size, sizeof block.SenseArea));
    const std::string report = ComposeScsiStatusReport(block);
    if (!IsPrintable(report, true) || report != ComposeScsiStatusReport(block))
        std::abort();
    if (!Contains(report, Format("ASPI_STS = %02x", block.SRB_Status)) ||
        !Contains(report, Format("HOST_STS = %02x", block.SRB_HaStat)) ||
        !Contains(report, Format("TARG_STS = %02x", block.SRB_TargStat)))
        std::abort();
    const size_t at = report.find("Sense Data =");
    if ((at != std::string::npos) != (block.SRB_TargStat == kStatusCheckCondition))
        std::abort();
    if (at == std::string::npos)
        return;
    // Never more bytes than the block's sense area holds, each as it is there.
    std::string expected = "Sense Data =";
    for (size_t i = 0; i < std::min<size_t>(block.SRB_SenseLen, kSenseAreaSize); ++i)
        expected += Format(" %02x", block.SenseArea[i]);
    if (report.compare(at, expected.size() + 1, expected + "\n") != 0)
        std::abort();
}

void CheckProblem(const uint8_t* header, const uint8_t* sense, size_t size) {
    SgProblem problem;
    problem.kind = static_cast<SgProblemKind>(header[1] % 8);
    problem.node = "/dev/sg3";
    problem.cdb[0] = header[0];
    problem.cdbLength = header[2] % 2 ? 6 : 0;
    problem.status = header[3];
    problem.hostStatus = header[2];
    problem.driverStatus = header[4];
    problem.sense.assign(sense, sense + size);
    problem.error = header[5];
    const std::string text = DescribeProblem(problem);
    if (!IsPrintable(text, false) || text != DescribeProblem(problem))
        std::abort();
    if (problem.kind == SgProblemKind::None ? !text.empty() : text.empty())
        std::abort();
    if (problem.kind == SgProblemKind::Rejected &&
        !Contains(text, SenseInWords(problem.sense.data(), problem.sense.size())))
        std::abort();
}

void CheckPrintable(const uint8_t* bytes, size_t size) {
    const std::string text = size ? std::string(reinterpret_cast<const char*>(bytes), size) : "";
    const std::string shown = Printable(text);
    if (shown.size() != text.size() || !IsPrintable(shown, false))
        std::abort();
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsPrintable(text.substr(i, 1), false) ? shown[i] != text[i] : shown[i] != '.')
            std::abort();
    }
}

// A drive that answers every command with the input's status and sense.
class SenseVolumes : public VolumeDevices {
public:
    SenseVolumes(uint8_t status, const uint8_t* sense, size_t size)
        : status_(status), sense_(sense), size_(size) {}
    VolumeHandle Open(char, VolumeAccess) override { return 1; }
    bool IoControl(VolumeHandle, uint32_t, void* in, uint32_t inLength, void*, uint32_t outLength,
                   uint32_t* returned) override {
        uint8_t* record = static_cast<uint8_t*>(in);
        PassThroughFields fields;
        if (!DecodePassThroughRecord(record, inLength, outLength, &fields))
            std::abort();
        SetPassThroughRecordStatus(record, status_);
        const size_t count = std::min<size_t>(size_, fields.senseLength);
        if (count > 0)
            std::memcpy(record + fields.senseOffset, sense_, count);
        *returned = outLength;
        return true;
    }
    void Close(VolumeHandle) override {}

private:
    uint8_t status_;
    const uint8_t* sense_;
    size_t size_;
};

class SenseBackend : public DriveBackend {
public:
    explicit SenseBackend(VolumeDevices& volumes) : volumes_(volumes) {}
    VolumeDevices& Volumes() override { return volumes_; }
    std::string Name(char) const override { return "/dev/sg3"; }
    std::string Problem() const override { return std::string(); }
    bool DriveRefusedLast() const override { return false; }
    bool MayUpdate(std::string*) override { return true; }

private:
    VolumeDevices& volumes_;
};

void CheckTranscript(const uint8_t* header, const uint8_t* sense, size_t size) {
    const uint8_t status = header[3];
    const uint8_t senseLength = header[5];
    SenseVolumes drive(status, sense, size);
    SenseBackend backend(drive);
    VirtualClock clock;
    std::ostringstream out;
    TranscribedBackend transcribed(backend, clock, {&out});

    PassThroughFields fields;
    fields.cdbLength = 6;
    fields.cdb[0] = header[0];
    fields.senseLength = senseLength;
    std::vector<uint8_t> record(kPassThroughFixedSize + senseLength, 0);
    EncodePassThroughRecord(fields, record.data());
    uint32_t returned = 0;
    if (!transcribed.Volumes().IoControl(1, kIoctlScsiPassThroughDirect, record.data(),
                                         static_cast<uint32_t>(record.size()), record.data(),
                                         static_cast<uint32_t>(record.size()), &returned))
        std::abort();
    const std::string line = out.str();
    if (line.empty() || line.back() != '\n' || !IsPrintable(line.substr(0, line.size() - 1), false))
        std::abort();
    if (status != kStatusCheckCondition)
        return;
    // The columns show what the sense says, where its format places each field.
    const uint8_t* area = record.data() + kPassThroughFixedSize;
    const SenseFields decoded = ReadSenseFields(area, senseLength);
    if (decoded.knownFormat && !Contains(line, Format("CHECK %02X/%02X/%02X", decoded.key,
                                                      decoded.code, decoded.qualifier)))
        std::abort();
    // Never more sense bytes than the request's sense area holds.
    const size_t from = line.find("; sense ");
    const size_t to = line.find(": ", from);
    if (from == std::string::npos || to == std::string::npos)
        std::abort();
    const size_t shown = to - from - 8;
    if ((shown + 1) / 3 > senseLength)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeader)
        return 0;
    // A copy of exactly the sense's size, so that a read past it is caught.
    const std::vector<uint8_t> sense(data + kHeader, data + size);
    const uint8_t* bytes = sense.empty() ? nullptr : sense.data();

    CheckCommandName(data[0]);
    CheckWords(bytes, sense.size());
    CheckStatusReport(data, bytes, sense.size());
    CheckProblem(data, bytes, sense.size());
    CheckPrintable(bytes, sense.size());
    CheckTranscript(data, bytes, sense.size());
    return 0;
}
