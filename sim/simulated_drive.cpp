#include "sim/simulated_drive.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "device/scsi.h"

namespace quillet::sim {

namespace {

constexpr uint8_t kStatusGood = 0x00;
constexpr uint8_t kStatusCheckCondition = 0x02;

constexpr Sense kNoMediumTrayClosed{0x02, 0x3A, 0x01};
constexpr Sense kNoMediumTrayOpen{0x02, 0x3A, 0x02};
constexpr Sense kBecomingReady{0x02, 0x04, 0x01};
constexpr Sense kInvalidOpcode{0x05, 0x20, 0x00};
constexpr Sense kInvalidField{0x05, 0x24, 0x00};

constexpr size_t kInquiryLength = 36;

// Commands a drive answers for the operating system rather than for the program: the kernel's
// CD driver sends them when it attaches the drive, opens it and polls it for media changes.
constexpr uint8_t kOpPreventAllow = 0x1E;
constexpr uint8_t kOpModeSense6 = 0x1A;
constexpr uint8_t kOpModeSense10 = 0x5A;
constexpr uint8_t kOpReadCapacity = 0x25;
constexpr uint8_t kOpGetConfiguration = 0x46;
constexpr uint8_t kOpGetEventStatus = 0x4A;

constexpr uint8_t kVpdSupportedPages = 0x00;
constexpr uint8_t kVpdSerialNumber = 0x80;
constexpr uint8_t kCapabilitiesPage = 0x2A;
constexpr uint8_t kAllPages = 0x3F;
constexpr uint8_t kMediaEventClass = 0x10;  // bit 4 of the requested classes
constexpr uint16_t kProfileCdRw = 0x000A;
constexpr uint32_t kDiscBlocks = 2048;  // a small written disc, 2048-byte blocks
constexpr uint8_t kReadBufferDataMode = 0x02;
constexpr uint8_t kWriteBufferDownloadSaveMode = 0x05;
constexpr uint32_t kDataBufferSize = 0x10000;
constexpr uint32_t kTagOffset = 0x8004;
constexpr uint32_t kOffsetLimit = 0xFFFFFF;  // largest 24-bit buffer offset

// START STOP UNIT byte 4: bit 1 moves the tray, bit 0 says which way (set: load and start).
constexpr uint8_t kLoadEject = 0x02;
constexpr uint8_t kStart = 0x01;

TargetResult Good(uint32_t transferred = 0) {
    TargetResult result;
    result.transferred = transferred;
    return result;
}

TargetResult CheckCondition(const Sense& sense) {
    TargetResult result;
    result.status = kStatusCheckCondition;
    result.sense[0] = 0x70;  // current error, fixed format
    result.sense[2] = sense.key;
    result.sense[7] = 10;  // additional sense length: bytes 8..17
    result.sense[12] = sense.code;
    result.sense[13] = sense.qualifier;
    return result;
}

uint32_t Get24(const std::array<uint8_t, 16>& cdb, size_t at) {
    return (uint32_t{cdb[at]} << 16) | (uint32_t{cdb[at + 1]} << 8) | cdb[at + 2];
}

// Group 0 commands have 6-byte blocks, groups 1 and 2 10-byte blocks.
size_t CommandLength(uint8_t opcode) {
    return opcode < 0x20 ? 6 : 10;
}

bool IsKnown(uint8_t opcode) {
    switch (opcode) {
        case kOpTestUnitReady:
        case kOpInquiry:
        case kOpStartStopUnit:
        case kOpWriteBuffer:
        case kOpReadBuffer:
        case kOpPreventAllow:
        case kOpModeSense6:
        case kOpModeSense10:
        case kOpReadCapacity:
        case kOpGetConfiguration:
        case kOpGetEventStatus:
            return true;
        default:
            return false;
    }
}

// Copies text into an INQUIRY field, padded with spaces or cut to the field's width.
void PutField(std::vector<uint8_t>& answer, size_t at, size_t width, const std::string& text) {
    for (size_t i = 0; i < width; ++i) {
        answer[at + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : ' ';
    }
}

// Bytes the drive may move into the caller's buffer: only a data-in command with a buffer.
uint32_t InCapacity(const TargetCommand& command) {
    if (command.direction != Direction::In || command.data == nullptr) {
        return 0;
    }
    return command.dataLength;
}

uint32_t Get16(const std::array<uint8_t, 16>& cdb, size_t at) {
    return (uint32_t{cdb[at]} << 8) | cdb[at + 1];
}

// Moves as much of `answer` as the allocation length and the caller's buffer take.
TargetResult Answer(const TargetCommand& command, const std::vector<uint8_t>& answer,
                    uint32_t allocation) {
    const uint32_t count =
        std::min({static_cast<uint32_t>(answer.size()), allocation, InCapacity(command)});
    if (count > 0) {
        std::memcpy(command.data, answer.data(), count);
    }
    return Good(count);
}

// The CD capabilities and mechanical status page: reads and writes CD-R and CD-RW, a tray that
// locks and ejects.
std::vector<uint8_t> CapabilitiesPage() {
    std::vector<uint8_t> page(22, 0);
    page[0] = kCapabilitiesPage;
    page[1] = static_cast<uint8_t>(page.size() - 2);
    page[2] = 0x03;  // reads CD-R, CD-RW
    page[3] = 0x03;  // writes CD-R, CD-RW
    page[6] = 0x29;  // tray loading, eject, lock
    page[8] = 0x1A;  // maximum read speed 6890 kB/s (obsolete field, still read)
    page[9] = 0xEA;
    page[11] = 0xFF;  // volume levels
    page[12] = 0x08;  // buffer 2048 KiB
    page[14] = 0x1A;  // current read speed
    page[15] = 0xEA;
    return page;
}

const char* DirectionText(Direction direction) {
    switch (direction) {
        case Direction::In:
            return "in";
        case Direction::Out:
            return "out";
        case Direction::None:
            break;
    }
    return "none";
}

}  // namespace

std::string FormatJournalEntry(const JournalEntry& entry) {
    char piece[32];
    std::snprintf(piece, sizeof piece, "%lu", static_cast<unsigned long>(entry.number));
    std::string line = piece;
    for (uint8_t byte : entry.cdb) {
        std::snprintf(piece, sizeof piece, " %02X", byte);
        line += piece;
    }
    std::snprintf(piece, sizeof piece, " %s %lu ", DirectionText(entry.direction),
                  static_cast<unsigned long>(entry.dataLength));
    line += piece;
    if (entry.outcome == Outcome::NeverCompletes) {
        line += "NEVER";
    } else if (entry.status == kStatusGood) {
        line += "GOOD";
    } else if (entry.status == kStatusCheckCondition) {
        std::snprintf(piece, sizeof piece, "CHECK %02X/%02X/%02X", entry.sense.key,
                      entry.sense.code, entry.sense.qualifier);
        line += piece;
    } else {
        std::snprintf(piece, sizeof piece, "STATUS %02X", entry.status);
        line += piece;
    }
    return line;
}

uint64_t ChecksumBytes(uint64_t checksum, const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        checksum ^= bytes[i];
        checksum *= 0x100000001B3ULL;
    }
    return checksum;
}

SimulatedDrive::SimulatedDrive(DriveModel model)
    : model_(std::move(model)), trayOpen_(model_.trayOpen), discPresent_(model_.discPresent) {
    UpdateLoaded();
}

TargetResult SimulatedDrive::Execute(const TargetCommand& command) {
    JournalEntry entry;
    entry.number = ++commandCount_;
    const size_t cdbLength = std::min<size_t>(command.cdbLength, command.cdb.size());
    entry.cdb.assign(command.cdb.begin(), command.cdb.begin() + cdbLength);
    entry.direction = command.direction;
    entry.dataLength = command.dataLength;

    std::optional<uint8_t> opcode;
    if (cdbLength > 0) {
        opcode = command.cdb[0];
    }
    TargetResult result;
    if (const Fault* fault = FaultFor(entry.number, opcode)) {
        if (fault->kind == FaultKind::NeverCompletes) {
            result.outcome = Outcome::NeverCompletes;
        } else {
            result = CheckCondition(fault->sense);
        }
    } else if (faultSource_) {
        const CommandFault drawn = faultSource_(entry.number, command);
        if (drawn.kind == CommandFault::Kind::NeverCompletes) {
            result.outcome = Outcome::NeverCompletes;
        } else if (drawn.kind == CommandFault::Kind::CheckCondition) {
            result = CheckCondition(drawn.sense);
        } else {
            result = drawn.cutTo ? PerformCut(command, *drawn.cutTo) : Perform(command);
            if (InCapacity(command) > 0)
                result.overrun = drawn.overrun;
        }
    } else {
        result = Perform(command);
    }

    entry.outcome = result.outcome;
    entry.status = result.status;
    entry.sense = Sense{result.sense[2], result.sense[12], result.sense[13]};
    if (!summaryOnly_)
        journal_.push_back(std::move(entry));
    return result;
}

TargetResult SimulatedDrive::Perform(const TargetCommand& command) {
    if (command.cdbLength == 0 || command.cdbLength > command.cdb.size() ||
        !IsKnown(command.cdb[0])) {
        return CheckCondition(kInvalidOpcode);
    }
    const uint8_t opcode = command.cdb[0];
    // A block cut short would leave offsets and lengths undefined.
    if (command.cdbLength < CommandLength(opcode)) {
        return CheckCondition(kInvalidField);
    }
    switch (opcode) {
        case kOpTestUnitReady:
            return TestUnitReady();
        case kOpInquiry:
            return Inquiry(command);
        case kOpStartStopUnit:
            return StartStopUnit(command);
        case kOpReadBuffer:
            return ReadBuffer(command);
        case kOpWriteBuffer:
            return WriteBuffer(command);
        case kOpPreventAllow:
            return Good();
        case kOpModeSense6:
        case kOpModeSense10:
            return ModeSense(command);
        case kOpReadCapacity:
            return ReadCapacity(command);
        case kOpGetConfiguration:
            return GetConfiguration(command);
        case kOpGetEventStatus:
            return GetEventStatus(command);
        default:
            return CheckCondition(kInvalidOpcode);
    }
}

// The drive answers into a copy, so that the caller's buffer beyond the cut keeps its bytes.
TargetResult SimulatedDrive::PerformCut(const TargetCommand& command, uint32_t cutTo) {
    const uint32_t capacity = InCapacity(command);
    if (capacity == 0)
        return Perform(command);
    std::vector<uint8_t> copy(command.data, command.data + capacity);
    TargetCommand answered = command;
    answered.data = copy.data();
    TargetResult result = Perform(answered);
    if (result.transferred > cutTo) {
        result.transferred = cutTo;
        result.cut = true;
    }
    std::memcpy(command.data, copy.data(), result.transferred);
    return result;
}

TargetResult SimulatedDrive::Inquiry(const TargetCommand& command) const {
    const auto& cdb = command.cdb;
    const uint32_t allocation = Get16(cdb, 3);
    if ((cdb[1] & 0x01) != 0) {
        return VitalProductData(command, allocation);
    }
    if (cdb[2] != 0) {
        return CheckCondition(kInvalidField);
    }
    std::vector<uint8_t> answer;
    if (model_.inquiryData) {
        answer = *model_.inquiryData;
    } else {
        answer.assign(kInquiryLength, 0);
        answer[0] = model_.peripheral;
        answer[1] = 0x80;  // removable medium
        answer[2] = 2;     // version
        answer[3] = 2;     // response data format
        answer[4] = kInquiryLength - 5;
        PutField(answer, 8, 8, model_.vendor);
        PutField(answer, 16, 16, model_.product);
        PutField(answer, 32, 4, model_.revision);
    }
    return Answer(command, answer, allocation);
}

// Pages 00h (the pages there are) and 80h (the unit's serial number); others are refused.
TargetResult SimulatedDrive::VitalProductData(const TargetCommand& command,
                                              uint32_t allocation) const {
    std::vector<uint8_t> answer{model_.peripheral, command.cdb[2], 0, 0};
    if (command.cdb[2] == kVpdSupportedPages) {
        answer.insert(answer.end(), {kVpdSupportedPages, kVpdSerialNumber});
    } else if (command.cdb[2] == kVpdSerialNumber) {
        answer.insert(answer.end(), model_.serialNumber.begin(), model_.serialNumber.end());
    } else {
        return CheckCondition(kInvalidField);
    }
    answer[3] = static_cast<uint8_t>(std::min<size_t>(answer.size() - 4, 0xFF));
    answer.resize(answer[3] + 4u);
    return Answer(command, answer, allocation);
}

// MODE SENSE (6) and (10): the capabilities page alone, without block descriptors.
TargetResult SimulatedDrive::ModeSense(const TargetCommand& command) const {
    const auto& cdb = command.cdb;
    const uint8_t page = cdb[2] & 0x3F;
    if (page != kCapabilitiesPage && page != kAllPages) {
        return CheckCondition(kInvalidField);
    }
    const bool ten = cdb[0] == kOpModeSense10;
    std::vector<uint8_t> answer(ten ? 8 : 4, 0);
    const std::vector<uint8_t> body = CapabilitiesPage();
    answer.insert(answer.end(), body.begin(), body.end());
    // The mode data length counts the bytes after itself.
    if (ten) {
        answer[1] = static_cast<uint8_t>(answer.size() - 2);
    } else {
        answer[0] = static_cast<uint8_t>(answer.size() - 1);
    }
    return Answer(command, answer, ten ? Get16(cdb, 7) : cdb[4]);
}

// A loaded disc has kDiscBlocks blocks of 2048 bytes; without one the drive is not ready, as
// for TEST UNIT READY (without counting down the spin-up).
TargetResult SimulatedDrive::ReadCapacity(const TargetCommand& command) const {
    if (trayOpen_) {
        return CheckCondition(kNoMediumTrayOpen);
    }
    if (!discPresent_) {
        return CheckCondition(kNoMediumTrayClosed);
    }
    const uint32_t last = kDiscBlocks - 1;
    const std::vector<uint8_t> answer{uint8_t(last >> 24),
                                      uint8_t(last >> 16),
                                      uint8_t(last >> 8),
                                      uint8_t(last),
                                      0,
                                      0,
                                      0x08,
                                      0x00};
    return Answer(command, answer, static_cast<uint32_t>(answer.size()));
}

// The feature header alone: the current profile is CD-RW with a loaded disc, none without.
TargetResult SimulatedDrive::GetConfiguration(const TargetCommand& command) const {
    const uint16_t profile = loaded_ ? kProfileCdRw : 0;
    const std::vector<uint8_t> answer{0, 0, 0, 4, 0, 0, uint8_t(profile >> 8), uint8_t(profile)};
    return Answer(command, answer, Get16(command.cdb, 7));
}

// Polled requests only; the media class tells whether the tray is open and a disc present, with
// no event to report (a change shows in TEST UNIT READY).
TargetResult SimulatedDrive::GetEventStatus(const TargetCommand& command) const {
    const auto& cdb = command.cdb;
    if ((cdb[1] & 0x01) == 0) {
        return CheckCondition(kInvalidField);
    }
    std::vector<uint8_t> answer;
    if ((cdb[4] & kMediaEventClass) != 0) {
        const uint8_t status = uint8_t((trayOpen_ ? 0x01 : 0) | (discPresent_ ? 0x02 : 0));
        answer = {0, 6, 0x04, kMediaEventClass, 0, status, 0, 0};
    } else {
        answer = {0, 2, 0x80, kMediaEventClass};  // no event of a class asked for
    }
    return Answer(command, answer, Get16(cdb, 7));
}

TargetResult SimulatedDrive::TestUnitReady() {
    if (trayOpen_) {
        return CheckCondition(kNoMediumTrayOpen);
    }
    if (!discPresent_) {
        return CheckCondition(kNoMediumTrayClosed);
    }
    if (becomingReadyLeft_ > 0) {
        --becomingReadyLeft_;
        return CheckCondition(kBecomingReady);
    }
    return Good();
}

TargetResult SimulatedDrive::StartStopUnit(const TargetCommand& command) {
    const uint8_t action = command.cdb[4] & (kLoadEject | kStart);
    if (action == (kLoadEject | kStart)) {
        if (model_.loadClosesTray) {
            trayOpen_ = false;
        }
    } else if (action == kLoadEject) {
        trayOpen_ = true;
    }
    UpdateLoaded();
    return Good();
}

TargetResult SimulatedDrive::ReadBuffer(const TargetCommand& command) const {
    const auto& cdb = command.cdb;
    const uint32_t offset = Get24(cdb, 3);
    const uint32_t allocation = Get24(cdb, 6);
    // Mode in the low five bits; the top three carried the logical unit in older command sets.
    if ((cdb[1] & 0x1F) != kReadBufferDataMode || cdb[2] != 0 || offset >= kDataBufferSize ||
        allocation > kDataBufferSize - offset) {
        return CheckCondition(kInvalidField);
    }
    const uint32_t count = std::min(allocation, InCapacity(command));
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t at = offset + i;
        const bool inTag = at >= kTagOffset && at < kTagOffset + model_.firmwareTag.size();
        command.data[i] = inTag ? model_.firmwareTag[at - kTagOffset] : 0;
    }
    return Good(count);
}

TargetResult SimulatedDrive::WriteBuffer(const TargetCommand& command) {
    const auto& cdb = command.cdb;
    const uint32_t offset = Get24(cdb, 3);
    const uint32_t length = Get24(cdb, 6);
    const bool firstBlock = receivedLength_ == 0;
    const uint32_t expected = firstBlock ? (model_.productCode & kOffsetLimit) : nextImageOffset_;
    const bool hasData = command.direction == Direction::Out && command.data != nullptr;
    if (imageComplete_ || (cdb[1] & 0x1F) != kWriteBufferDownloadSaveMode || cdb[2] != 0 ||
        length != command.dataLength || (length > 0 && !hasData) || offset != expected) {
        return CheckCondition(kInvalidField);
    }
    if (length == 0) {
        // Nothing to save without a block before the closing command.
        if (firstBlock) {
            return CheckCondition(kInvalidField);
        }
        imageComplete_ = true;
        return Good();
    }
    // The closing command must still find its offset inside the 24-bit field.
    if (length > kOffsetLimit - offset) {
        return CheckCondition(kInvalidField);
    }
    if (!summaryOnly_)
        image_.insert(image_.end(), command.data, command.data + length);
    receivedLength_ += length;
    receivedChecksum_ = ChecksumBytes(receivedChecksum_, command.data, length);
    nextImageOffset_ = offset + length;
    return Good(length);
}

const Fault* SimulatedDrive::FaultFor(uint32_t number, std::optional<uint8_t> opcode) const {
    for (const Fault& fault : faults_) {
        const bool numberMatches = fault.commandNumber == 0 || fault.commandNumber == number;
        const bool opcodeMatches = !fault.opcode || fault.opcode == opcode;
        if (numberMatches && opcodeMatches) {
            return &fault;
        }
    }
    return nullptr;
}

void SimulatedDrive::UpdateLoaded() {
    const bool loaded = discPresent_ && !trayOpen_;
    if (loaded && !loaded_) {
        becomingReadyLeft_ = model_.becomingReadyCommands;
    }
    loaded_ = loaded;
}

void SimulatedDrive::AddFault(const Fault& fault) {
    faults_.push_back(fault);
}

void SimulatedDrive::SetTrayOpen(bool open) {
    trayOpen_ = open;
    UpdateLoaded();
}

void SimulatedDrive::SetDiscPresent(bool present) {
    discPresent_ = present;
    UpdateLoaded();
}

bool SimulatedDrive::TrayOpen() const {
    return trayOpen_;
}

bool SimulatedDrive::DiscPresent() const {
    return discPresent_;
}

const DriveModel& SimulatedDrive::Model() const {
    return model_;
}

const std::vector<JournalEntry>& SimulatedDrive::Journal() const {
    return journal_;
}

const std::vector<uint8_t>& SimulatedDrive::ReceivedImage() const {
    return image_;
}

bool SimulatedDrive::ImageComplete() const {
    return imageComplete_;
}

}  // namespace quillet::sim
