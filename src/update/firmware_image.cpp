#include "update/firmware_image.h"

#include <algorithm>
#include <cstring>

namespace quillet {

namespace {

constexpr char kTaggedModels[][kFirmwareTagSize + 1] = {"MTX5160S", "MTX5160E"};
constexpr uint32_t kBufferOffsetLimit = 0xFFFFFF;

// The section length, read one byte at a time, most significant first. False when the file
// ended inside the field.
bool ReadSectionLength(FirmwareFile& file, uint32_t* length) {
    bool complete = true;
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        uint8_t byte = 0;
        complete = file.Read(&byte, 1) == 1 && complete;
        value = (value << 8) | byte;
    }
    *length = value;
    return complete;
}

bool ReadTag(FirmwareFile& file, uint8_t* tag) {
    return file.Read(tag, kFirmwareTagSize) == kFirmwareTagSize;
}

// A section is sent whole, header included, so it must hold its header and end inside the file.
LocateResult Select(FirmwareFile& file, uint64_t fileLength, uint64_t start, uint32_t length,
                    int section, FirmwareImage* image) {
    if (length < kSectionHeaderSize || start > fileLength || length > fileLength - start)
        return LocateResult::ReadError;
    file.Seek(start);
    image->start = start;
    image->length = length;
    image->section = section;
    return LocateResult::Located;
}

const char* CauseText(FileErrorCause cause) {
    switch (cause) {
        case FileErrorCause::FileNotFound:
            return "Not found file.";
        case FileErrorCause::BadPath:
            return "Illegal file path.";
        case FileErrorCause::AccessDenied:
            return "Failed to access file.";
        case FileErrorCause::HardIo:
            return "File i/o error.";
        case FileErrorCause::DiskFull:
            return "Disk is full.";
        default:
            return "File error.";
    }
}

}  // namespace

bool IsTaggedModel(const std::string& product) {
    for (const char* model : kTaggedModels) {
        if (product.compare(0, kFirmwareTagSize, model) == 0)
            return true;
    }
    return false;
}

bool TagsMatch(const std::string& driveTag, const uint8_t* sectionTag) {
    for (size_t i = 0; i < kFirmwareTagSize; ++i) {
        const uint8_t own = i < driveTag.size() ? static_cast<uint8_t>(driveTag[i]) : 0;
        if (own != sectionTag[i])
            return false;
        if (own == 0)
            return true;
    }
    return true;
}

LocateResult LocateImage(FirmwareFile& file, const std::string& product,
                         const FirmwareTagReader& readTag, FirmwareImage* image) {
    const uint64_t fileLength = file.Length();
    image->fileLength = fileLength;
    image->driveTag.clear();
    image->section = 0;
    uint32_t lengthA = 0;
    const bool haveLengthA = ReadSectionLength(file, &lengthA);
    if (!IsTaggedModel(product)) {
        // Every other drive takes the whole file; its first bytes mean nothing to it.
        file.Seek(0);
        image->start = 0;
        image->length = fileLength;
        return LocateResult::Located;
    }

    std::string driveTag;
    const bool haveDriveTag = readTag(&driveTag);
    image->driveTag = driveTag;
    uint8_t tag[kFirmwareTagSize] = {};
    const bool haveTagA = ReadTag(file, tag);
    if (!haveDriveTag || !haveLengthA || !haveTagA)
        return LocateResult::ReadError;
    if (TagsMatch(driveTag, tag))
        return Select(file, fileLength, 0, lengthA, 1, image);

    // Section B starts where section A ends; an A too short for its own header has no end.
    if (lengthA < kSectionHeaderSize)
        return LocateResult::ReadError;
    file.Seek(lengthA);
    uint32_t lengthB = 0;
    if (!ReadSectionLength(file, &lengthB) || !ReadTag(file, tag) || !TagsMatch(driveTag, tag))
        return LocateResult::ReadError;
    return Select(file, fileLength, lengthA, lengthB, 2, image);
}

uint64_t PaddedLength(uint64_t imageLength) {
    return (imageLength + kFirmwarePadUnit - 1) / kFirmwarePadUnit * kFirmwarePadUnit;
}

uint64_t BlockCount(uint64_t imageLength) {
    return (imageLength + kFirmwareBlockSize - 1) / kFirmwareBlockSize;
}

bool FitsBufferOffsets(uint32_t productCode, uint64_t imageLength) {
    const uint64_t start = productCode & kBufferOffsetLimit;
    return imageLength <= kBufferOffsetLimit &&
           start + PaddedLength(imageLength) <= kBufferOffsetLimit;
}

ImageBlock ImageBlockReader::ReadNext(uint8_t* buffer) {
    ImageBlock block;
    const bool first = first_;
    first_ = false;
    const uint32_t request =
        static_cast<uint32_t>(std::min<uint64_t>(kFirmwareBlockSize, remaining_));
    if (request == 0) {
        block.kind = first ? ImageBlock::Kind::ReadFailed : ImageBlock::Kind::End;
        return block;
    }
    remaining_ -= request;
    const uint32_t delivered = file_.Read(buffer, request);
    if (delivered < request) {
        block.kind = ImageBlock::Kind::ReadFailed;
        return block;
    }
    block.kind = ImageBlock::Kind::Data;
    block.dataLength = delivered;
    block.transferLength = static_cast<uint32_t>(PaddedLength(delivered));
    std::memset(buffer + delivered, 0, block.transferLength - delivered);
    return block;
}

std::string FileExceptionText(const FileException& exception) {
    std::string text =
        exception.FileName().empty() ? std::string(kFirmwareFileNameError) : exception.FileName();
    text += ": ";
    text += CauseText(exception.Cause());
    return text;
}

}  // namespace quillet
