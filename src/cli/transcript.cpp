#include "cli/transcript.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ext/stdio_filebuf.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "cli/language.h"
#include "cli/terminal.h"
#include "device/commands.h"
#include "device/scsi.h"
#include "device/sense_text.h"
#include "platform/pass_through_record.h"

namespace quillet {

namespace {

constexpr size_t kIdentityEnd = 36;  // vendor, product and revision
constexpr size_t kSenseAdditionalLength = 7;

std::string Hex(const uint8_t* bytes, size_t count) {
    std::string text;
    char piece[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(piece, sizeof piece, i ? " %02X" : "%02X", bytes[i]);
        text += piece;
    }
    return text;
}

// The command as the simulated drive's journal writes it: CDB bytes, direction and length.
std::string Command(const PassThroughFields& fields) {
    return Hex(fields.cdb.data(), fields.cdbLength) +
           (fields.dataIn == kPassThroughDataOut ? " out " : " in ") +
           std::to_string(fields.dataLength);
}

// The drive's answer: its status (and sense, read in words), and what an INQUIRY says it is.
std::string Answer(const PassThroughFields& fields, const uint8_t* record) {
    const uint8_t status = PassThroughRecordStatus(record);
    char text[48];
    if (status == kStatusGood) {
        std::string answer = "GOOD";
        if (fields.cdb[0] == kOpInquiry && fields.dataLength >= kIdentityEnd && fields.data) {
            answer += "; \"" +
                      Printable(IdentificationText(static_cast<const uint8_t*>(fields.data),
                                                   kIdentityEnd)) +
                      "\"";
        }
        return answer;
    }
    if (status != kStatusCheckCondition) {
        std::snprintf(text, sizeof text, "STATUS %02X", status);
        return text;
    }
    const uint8_t* sense = record + fields.senseOffset;
    size_t length = fields.senseLength;
    if (length > kSenseAdditionalLength)
        length =
            std::min<size_t>(length, kSenseAdditionalLength + 1 + sense[kSenseAdditionalLength]);
    // Each field where the sense's format puts it, and only where the drive's sense reaches it.
    const SenseFields read = ReadSenseFields(sense, fields.senseLength);
    std::snprintf(text, sizeof text, "CHECK %02X/%02X/%02X", read.key, read.code, read.qualifier);
    return std::string(text) + "; sense " + Hex(sense, length) + ": " +
           SenseInWords(sense, fields.senseLength);
}

}  // namespace

TranscribedBackend::TranscribedBackend(DriveBackend& backend, Clock& clock,
                                       std::vector<std::ostream*> outs)
    : backend_(backend), clock_(clock), outs_(std::move(outs)), start_(clock.NowMilliseconds()) {}

void TranscribedBackend::Header(const std::string& program, const std::string& device) {
    for (std::ostream* out : outs_)
        *out << "# " << program << "\n# device: " << device
             << "\n# seconds since start, CDB, direction and length, status; sense; host and "
                "driver status"
             << std::endl;
}

void TranscribedBackend::Write(const std::string& line) {
    const uint64_t elapsed = clock_.NowMilliseconds() - start_;
    char time[32];
    std::snprintf(time, sizeof time, "%8.3f  ", elapsed / 1000.0);
    // One line at a time, each out before the next command: a cut run keeps what came before.
    for (std::ostream* out : outs_)
        *out << time << line << std::endl;
}

bool TranscribedBackend::TranscribedVolumes::IoControl(VolumeHandle handle, uint32_t code, void* in,
                                                       uint32_t inLength, void* out,
                                                       uint32_t outLength, uint32_t* returned) {
    PassThroughFields fields;
    const bool command =
        code == kIoctlScsiPassThroughDirect && in != nullptr &&
        DecodePassThroughRecord(static_cast<const uint8_t*>(in), inLength, outLength, &fields);
    const bool done = inner_.IoControl(handle, code, in, inLength, out, outLength, returned);
    if (code == kIoctlStorageMcnControl && in != nullptr && inLength >= 1) {
        owner_.Write(std::string("media change notification ") +
                     (static_cast<const uint8_t*>(in)[0] ? "off" : "on") +
                     (done ? "" : ": not switched"));
    }
    if (!command)
        return done;
    std::string line = Command(fields) + " ";
    if (!done) {
        // The transcript is read by machines too: its words do not change with the language.
        const UntranslatedScope english;
        const std::string problem = owner_.backend_.Problem();
        line += "no answer" + (problem.empty() ? std::string() : ": " + problem);
    } else {
        line += Answer(fields, static_cast<const uint8_t*>(out));
    }
    uint8_t host = 0;
    uint8_t driver = 0;
    if (owner_.backend_.TransportStatus(&host, &driver)) {
        char text[40];
        std::snprintf(text, sizeof text, "; host %02Xh, driver %02Xh", host, driver);
        line += text;
    }
    owner_.Write(line);
    return done;
}

namespace {

// An output stream that owns the descriptor it writes to.
class DescriptorStream : public std::ostream {
public:
    explicit DescriptorStream(int fd) : std::ostream(nullptr), buffer_(fd, std::ios::out) {
        rdbuf(&buffer_);
    }

private:
    __gnu_cxx::stdio_filebuf<char> buffer_;
};

}  // namespace

std::unique_ptr<std::ostream> OpenTranscriptFile(const std::string& path, std::string* why) {
    // Not truncated on opening: only once it is known to be a file of its own. Non-blocking, so
    // that a FIFO does not hold the program before it is refused.
    const int fd =
        open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    const char* const notRegular =
        _("{1} is not a regular file: the transcript is written only to one.");
    if (fd < 0) {
        const int error = errno;
        struct stat seen {};
        const bool exists = lstat(path.c_str(), &seen) == 0;
        if (exists && S_ISLNK(seen.st_mode))
            *why = Fill(_("{1} is a symbolic link: the transcript is written only to a regular "
                          "file, never through a link."),
                        {path});
        else if (exists && !S_ISREG(seen.st_mode))
            *why = Fill(notRegular, {path});
        else
            *why = path + ": " + ErrorText(error) + ".";
        return nullptr;
    }
    struct stat file {};
    std::string refusal;
    if (fstat(fd, &file) != 0)
        refusal = path + ": " + ErrorText(errno) + ".";
    else if (!S_ISREG(file.st_mode))
        refusal = Fill(notRegular, {path});
    else if (file.st_nlink > 1)
        refusal = Fill(_("{1} has other names (hard links): the transcript is written only to a "
                         "file of its own."),
                       {path});
    else if (ftruncate(fd, 0) != 0)
        refusal = path + ": " + ErrorText(errno) + ".";
    if (!refusal.empty()) {
        close(fd);
        *why = refusal;
        return nullptr;
    }
    return std::make_unique<DescriptorStream>(fd);
}

}  // namespace quillet
