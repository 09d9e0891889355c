// What a simulated drive receives in the program's flows, as journal lines without their numbers
// (sim/README.md): the commands of each transport before the first block, the blocks, and whole
// updates from the program's start to the end of "Update". One table for the unit tests, which
// run these flows over the simulated services, and for the end-to-end tests, which run the real
// program and compare its drives' journals with what tests/e2e/expect_journal prints from here.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "update/firmware_image.h"

namespace quillet::test {

// n copies of a line.
inline std::vector<std::string> Times(size_t n, const std::string& line) {
    return std::vector<std::string>(n, line);
}

inline std::vector<std::string> Join(std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

inline std::string WriteBufferLine(uint32_t offset, uint32_t length, const char* closingDirection,
                                   const char* result = "GOOD") {
    char line[96];
    std::snprintf(line, sizeof line, "3B 05 00 %02X %02X %02X %02X %02X %02X 00 %s %lu %s",
                  (offset >> 16) & 0xFF, (offset >> 8) & 0xFF, offset & 0xFF, (length >> 16) & 0xFF,
                  (length >> 8) & 0xFF, length & 0xFF, length > 0 ? "out" : closingDirection,
                  static_cast<unsigned long>(length), result);
    return line;
}

namespace journal {

// The sense the simulated drive's CHECK CONDITION faults give unless told otherwise.
inline constexpr char kDefaultFaultResult[] = "CHECK 04/44/00";

// The ASPI path (Windows 9x family): its commands poll without data ("none").
namespace aspi {
inline const std::string kScanInquiry = "12 00 00 00 80 00 in 128 GOOD";
inline const std::string kTagRead = "3C 02 00 00 80 04 00 00 08 00 in 128 GOOD";
inline const std::string kNoDisc = "00 00 00 00 00 00 none 0 CHECK 02/3A/01";
inline const std::string kReady = "00 00 00 00 00 00 none 0 GOOD";
inline const std::string kLoad = "1B 00 00 00 03 00 none 0 GOOD";
inline const std::string kEject = "1B 00 00 00 02 00 none 0 GOOD";
inline constexpr char kClosingDirection[] = "none";

// A drive with a closed tray and no disc, before the first block: three looks, a load, two more.
inline std::vector<std::string> BeforeFirstBlock() {
    return Join({Times(3, kNoDisc), {kLoad, kNoDisc, kNoDisc}});
}
// A loaded disc: the same looks find it ready, and the tray is opened.
inline std::vector<std::string> DiscFound() {
    return Join({Times(3, kReady), {kLoad, kReady, kReady, kEject}});
}
}  // namespace aspi

// The pass-through path (NT family): every command but WRITE BUFFER is data in.
namespace pass_through {
inline const std::string kSearchInquiry = "12 00 00 00 FF 00 in 1024 GOOD";
inline const std::string kTagRead = "3C 02 00 00 80 04 00 00 08 00 in 8 GOOD";
inline const std::string kNoDisc = "00 00 00 00 00 00 in 0 CHECK 02/3A/01";
inline const std::string kReady = "00 00 00 00 00 00 in 0 GOOD";
inline const std::string kEject = "1B 00 00 00 02 00 in 0 GOOD";
inline constexpr char kClosingDirection[] = "out";

// A drive with a closed tray and no disc, before the first block: twelve looks.
inline std::vector<std::string> DiscCheck() {
    return Times(12, kNoDisc);
}
// A loaded disc: the twelve looks find it ready, and the tray is opened.
inline std::vector<std::string> DiscFound() {
    return Join({Times(12, kReady), {kEject}});
}
}  // namespace pass_through

// The blocks of an image of `imageLength` bytes from `productCode` on, each padded to the unit,
// and the zero-length closing command at the offset after them. `refusedBlock` (counted from 1
// over the blocks and the closing command) ends with `refusal` instead, and nothing follows it.
inline std::vector<std::string> Blocks(uint32_t productCode, uint64_t imageLength,
                                       const char* closingDirection, size_t refusedBlock = 0,
                                       const char* refusal = kDefaultFaultResult) {
    std::vector<std::string> lines;
    uint32_t offset = productCode & 0xFFFFFF;
    uint64_t left = imageLength;
    for (;;) {
        const uint64_t data = left < kFirmwareBlockSize ? left : kFirmwareBlockSize;
        const uint32_t length = static_cast<uint32_t>(PaddedLength(data));
        const bool refused = lines.size() + 1 == refusedBlock;
        lines.push_back(
            WriteBufferLine(offset, length, closingDirection, refused ? refusal : "GOOD"));
        if (refused || length == 0)
            return lines;
        offset += length;
        left -= data;
    }
}

// How one run of "Update" ends for the drive.
enum class Ending {
    Updated,        // the whole image and the closing command
    DiscFound,      // a disc in the drive: looked for, tray opened, nothing written
    SwitchRefused,  // media change notification not switched off (pass-through): nothing written
    BlockRefused,   // WRITE BUFFER number `refusedBlock` refused: nothing after it
    HeaderUnread,   // the image's first byte cannot be read: nothing after the start
    Untouched,      // another drive was updated, or none: only what the start sent
};

struct Update {
    bool aspi = false;
    bool tagged = false;  // a model whose image section is chosen by its firmware tag
    uint32_t productCode = 0;
    uint64_t imageLength = 0;  // of the file, or of the drive's section of a tagged image
    Ending ending = Ending::Updated;
    size_t refusedBlock = 0;
};

// A drive's whole journal from the program's start: the start's INQUIRY (the ASPI scan, or the
// pass-through search over the drive letters), then what the one run of "Update" sent it.
inline std::vector<std::string> WholeFlow(const Update& update) {
    std::vector<std::string> lines{update.aspi ? aspi::kScanInquiry : pass_through::kSearchInquiry};
    if (update.ending == Ending::Untouched || update.ending == Ending::HeaderUnread)
        return lines;
    if (update.tagged)
        lines.push_back(update.aspi ? aspi::kTagRead : pass_through::kTagRead);
    if (update.ending == Ending::DiscFound)
        return Join({lines, update.aspi ? aspi::DiscFound() : pass_through::DiscFound()});
    lines = Join({lines, update.aspi ? aspi::BeforeFirstBlock() : pass_through::DiscCheck()});
    if (update.ending == Ending::SwitchRefused)
        return lines;
    const char* closing = update.aspi ? aspi::kClosingDirection : pass_through::kClosingDirection;
    const size_t refused = update.ending == Ending::BlockRefused ? update.refusedBlock : 0;
    return Join({lines, Blocks(update.productCode, update.imageLength, closing, refused)});
}

// The lines numbered from 1, as the journal files hold them.
inline std::vector<std::string> Numbered(const std::vector<std::string>& lines) {
    std::vector<std::string> numbered;
    for (size_t i = 0; i < lines.size(); ++i)
        numbered.push_back(std::to_string(i + 1) + " " + lines[i]);
    return numbered;
}

}  // namespace journal
}  // namespace quillet::test
