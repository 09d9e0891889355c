// A firmware image file: which stretch of it is the image for a drive, and reading that stretch
// in blocks for WRITE BUFFER. The file holds image sections, each a 4-byte big-endian section
// length (the whole section), an 8-byte firmware tag and the payload; two models pick their
// section by the drive's firmware tag, every other drive takes the whole file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/firmware_file.h"

namespace quillet {

constexpr uint32_t kFirmwareBlockSize = 16384;  // the largest block one WRITE BUFFER carries
constexpr uint32_t kFirmwarePadUnit = 2048;     // a short last block is padded to a multiple
constexpr uint32_t kSectionHeaderSize = 12;     // section length and firmware tag
constexpr uint32_t kFirmwareTagSize = 8;

// The download's own messages about the file; English in every language.
inline constexpr char kFirmwareFileOpenError[] = "Firmware file open error !";
inline constexpr char kFirmwareFileReadError[] = "Firmware file read error !";
inline constexpr char kFirmwareFileSizeError[] = "Firmware file size error !";
inline constexpr char kFirmwareFileNameError[] = "Firmware file name error !";

// True when the first 8 characters of the INQUIRY product identification name a model whose
// image is chosen by firmware tag (exact, case-sensitive).
bool IsTaggedModel(const std::string& product);

// The drive's tag (text cut at its first zero byte) against a section's 8 tag bytes, compared
// byte by byte and equal where both end at the same place.
bool TagsMatch(const std::string& driveTag, const uint8_t* sectionTag);

// Where the image lies in the file.
struct FirmwareImage {
    uint64_t start = 0;
    uint64_t length = 0;
    uint64_t fileLength = 0;
    // For a model that picks its section by tag: the tag the drive reported and the section that
    // carries it (1 or 2). 0 when the whole file is the image.
    std::string driveTag;
    int section = 0;
};

enum class LocateResult { Located, ReadError };

// Asks the drive for its firmware tag; false when the drive could not be asked.
using FirmwareTagReader = std::function<bool(std::string* tag)>;

// Picks the image for a drive with this product identification and leaves the file at its start.
// The tag is read from the drive for tagged models only. ReadError when a header the choice needs
// is missing or short, the drive's tag cannot be read, no section carries it, or the chosen
// section is shorter than its header or runs past the end of the file. File exceptions pass.
LocateResult LocateImage(FirmwareFile& file, const std::string& product,
                         const FirmwareTagReader& readTag, FirmwareImage* image);

// The bytes the blocks of an image carry: its length rounded up to the padding unit.
uint64_t PaddedLength(uint64_t imageLength);
// The number of blocks an image is sent in.
uint64_t BlockCount(uint64_t imageLength);
// Whether every block of the image, and the closing command after it, can name its buffer offset
// in the 24-bit field when the download starts at the product code's low 24 bits.
bool FitsBufferOffsets(uint32_t productCode, uint64_t imageLength);

struct ImageBlock {
    enum class Kind { Data, End, ReadFailed };
    Kind kind = Kind::End;
    uint32_t dataLength = 0;      // image bytes in the block
    uint32_t transferLength = 0;  // what WRITE BUFFER sends: padded when the block is short

    // A full block may be followed by more; a shorter one is always the last.
    bool Full() const { return dataLength == kFirmwareBlockSize; }
};

// Reads an image from the file's current position, one block per call, never more than one
// block at a time.
class ImageBlockReader {
public:
    ImageBlockReader(FirmwareFile& file, uint64_t imageLength)
        : file_(file), remaining_(imageLength) {}

    // Fills `buffer` (kFirmwareBlockSize bytes) with the next block. End when the image is
    // complete; ReadFailed when the image is empty or a read delivers less than the image still
    // owes. File exceptions pass.
    ImageBlock ReadNext(uint8_t* buffer);

private:
    FirmwareFile& file_;
    uint64_t remaining_;  // image bytes not requested yet
    bool first_ = true;
};

// The text shown for a file exception: the file's name, or "Firmware file name error !" when the
// exception names none, then ": " and the cause in words.
std::string FileExceptionText(const FileException& exception);

}  // namespace quillet
