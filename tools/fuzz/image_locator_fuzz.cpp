// LocateImage over arbitrary section tables. The first byte picks the drive (a tagged model or
// not, whether its tag can be read), the next eight are the tag the drive reports, the rest is the
// firmware file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "update/firmware_image.h"

namespace {

class BytesFile : public quillet::FirmwareFile {
public:
    BytesFile(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint32_t Read(void* buffer, uint32_t count) override {
        const uint64_t available = position_ < size_ ? size_ - position_ : 0;
        const uint32_t delivered = static_cast<uint32_t>(std::min<uint64_t>(count, available));
        if (delivered > 0)
            std::memcpy(buffer, data_ + position_, delivered);
        position_ += delivered;
        return delivered;
    }
    void Seek(uint64_t offset) override { position_ = offset; }
    uint64_t Length() override { return size_; }
    void Close() override {}

    uint64_t position() const { return position_; }

private:
    const uint8_t* data_;
    size_t size_;
    uint64_t position_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 9)
        return 0;
    const uint8_t choice = data[0];
    const std::string product = (choice & 1) ? "MTX5160S        " : "CDRW-8432       ";
    const bool tagReadable = (choice & 2) == 0;
    const std::string tag(reinterpret_cast<const char*>(data + 1), 8);
    BytesFile file(data + 9, size - 9);

    int tagReads = 0;
    quillet::FirmwareImage image;
    const quillet::LocateResult result = quillet::LocateImage(
        file, product,
        [&](std::string* out) {
            ++tagReads;
            *out = tag;
            return tagReadable;
        },
        &image);

    // Only a tagged model asks its drive.
    if (!quillet::IsTaggedModel(product) && tagReads != 0)
        std::abort();
    if (result == quillet::LocateResult::Located) {
        // The image lies inside the file, and the file is left at its start.
        if (image.start > file.Length() || image.length > file.Length() - image.start)
            std::abort();
        if (file.position() != image.start)
            std::abort();
    }
    return 0;
}
