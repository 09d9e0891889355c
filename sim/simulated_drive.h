// A model of one of the maker's CD-R/RW drives behind a SCSI target interface. It answers the
// commands the program sends (TEST UNIT READY, START STOP UNIT, INQUIRY, READ BUFFER, WRITE
// BUFFER mode 5) and those an operating system's CD driver sends on its own (vital product data,
// the capabilities page, configuration, media events, capacity, medium removal), keeps tray and
// disc state, can be told to fail, and journals every command.
// The same model serves the in-process test executor, the simulated ASPI layer and volumes, and
// the simulated WNASPI32.DLL.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillet::sim {

enum class Direction : uint8_t { None, In, Out };

struct Sense {
    uint8_t key = 0;
    uint8_t code = 0;       // additional sense code
    uint8_t qualifier = 0;  // additional sense code qualifier
};

// What the drive is and how it starts.
struct DriveModel {
    uint8_t peripheral = 0x05;                 // INQUIRY byte 0
    std::string vendor = "KORVIN  ";           // padded or cut to 8 bytes
    std::string product = "CDRW-8432       ";  // padded or cut to 16 bytes
    std::string revision = "1.0q";             // padded or cut to 4 bytes
    std::string serialNumber = "Q0000001";     // vital product data page 80h
    // When set, INQUIRY answers exactly these bytes instead of the ones built from the fields
    // above (zero bytes inside the product, short answers, other devices).
    std::optional<std::vector<uint8_t>> inquiryData;
    std::array<uint8_t, 8> firmwareTag{{'M', 'T', 'X', '5', '1', '6', '0', 'E'}};
    uint32_t productCode = 0;  // where WRITE BUFFER mode 5 must start (low 24 bits used)
    bool trayOpen = false;
    bool discPresent = false;
    bool loadClosesTray = true;  // false: START STOP UNIT load leaves an open tray open
    // TEST UNIT READY answers NOT READY, becoming ready (04/01) this many times before a loaded
    // disc reports ready.
    uint32_t becomingReadyCommands = 0;
};

enum class FaultKind : uint8_t {
    CheckCondition,  // the command ends with CHECK CONDITION and the given sense
    NeverCompletes,  // the command is taken but never finishes
};

// A fault hits the n-th command the drive receives (counted from 1 over all commands), or,
// with opcode set and commandNumber 0, every command with that operation code.
struct Fault {
    FaultKind kind = FaultKind::CheckCondition;
    uint32_t commandNumber = 0;
    std::optional<uint8_t> opcode;
    Sense sense{0x04, 0x44, 0x00};  // hardware failure, internal target failure
};

struct TargetCommand {
    std::array<uint8_t, 16> cdb{};
    uint8_t cdbLength = 0;
    Direction direction = Direction::None;
    uint8_t* data = nullptr;  // In: filled by the drive; Out: read by the drive
    uint32_t dataLength = 0;
};

enum class Outcome : uint8_t { Completed, NeverCompletes };

struct TargetResult {
    Outcome outcome = Outcome::Completed;
    uint8_t status = 0x00;  // GOOD or CHECK CONDITION (0x02)
    // Fixed-format sense data (response code 0x70) when status is CHECK CONDITION, else zeros.
    std::array<uint8_t, 18> sense{};
    uint32_t transferred = 0;  // bytes moved to or from the data buffer
    // A data-in transfer cut short (fewer bytes than the drive had for the buffer): the front end
    // reports it as an under-run.
    bool cut = false;
    // A data-in transfer the front end reports this many bytes longer than the buffer (an
    // over-run), where its request can say so; the buffer itself gets no more than it holds.
    uint32_t overrun = 0;
};

// A test's answer to one command, asked for as the command comes (SetFaultSource).
struct CommandFault {
    enum class Kind : uint8_t { None, CheckCondition, NeverCompletes };
    Kind kind = Kind::None;
    Sense sense;  // for CheckCondition
    // Kind None, data in: the drive moves at most this many bytes into the buffer.
    std::optional<uint32_t> cutTo;
    // Kind None, data in: reported as moved beyond the buffer's length.
    uint32_t overrun = 0;
};

// Called with each command's number (from 1) and the command, before the drive acts on it. It may
// also change the drive (tray, disc, SetGone) before answering.
using FaultSource = std::function<CommandFault(uint32_t number, const TargetCommand& command)>;

struct JournalEntry {
    uint32_t number = 0;  // 1-based
    std::vector<uint8_t> cdb;
    Direction direction = Direction::None;
    uint32_t dataLength = 0;
    Outcome outcome = Outcome::Completed;
    uint8_t status = 0;
    Sense sense;
};

// One journal line, the stable text form written by the simulated DLL and read by tests:
// number, CDB bytes in hex, direction (none/in/out), data length, then GOOD, CHECK kk/cc/qq or
// NEVER, e.g. "3 3B 05 00 12 34 56 00 40 00 00 out 16384 GOOD" (sim/README.md).
std::string FormatJournalEntry(const JournalEntry& entry);

// The checksum the drive keeps over the bytes it received (64-bit FNV-1a): start with
// kChecksumStart and feed the bytes in order, in any number of pieces.
constexpr uint64_t kChecksumStart = 0xCBF29CE484222325ULL;
uint64_t ChecksumBytes(uint64_t checksum, const uint8_t* bytes, size_t count);

class SimulatedDrive {
public:
    explicit SimulatedDrive(DriveModel model = {});

    TargetResult Execute(const TargetCommand& command);

    void AddFault(const Fault& fault);
    // Asked about every command no added fault hits; empty: none.
    void SetFaultSource(FaultSource source) { faultSource_ = std::move(source); }
    // A removed device: the front ends fail every request to it as they fail one for an address
    // or letter with no drive, and the drive takes nothing more.
    void SetGone(bool gone) { gone_ = gone; }
    bool Gone() const { return gone_; }
    void SetTrayOpen(bool open);
    void SetDiscPresent(bool present);
    bool TrayOpen() const;
    bool DiscPresent() const;
    // The model as configured; the current tray and disc are TrayOpen() and DiscPresent().
    const DriveModel& Model() const;

    // Keeps neither the journal nor a copy of the received image from now on, only the counts
    // and the checksum below, so long downloads cost the drive no memory (benchmarks).
    void SetSummaryOnly(bool summaryOnly) { summaryOnly_ = summaryOnly; }

    const std::vector<JournalEntry>& Journal() const;
    // Every block accepted by WRITE BUFFER mode 5 so far, in order, from the product code on.
    const std::vector<uint8_t>& ReceivedImage() const;
    // True once the closing zero-length WRITE BUFFER came at the offset after the last block.
    bool ImageComplete() const;
    // Kept in every mode: commands received, and the length and checksum of the accepted blocks.
    uint32_t CommandCount() const { return commandCount_; }
    uint64_t ReceivedLength() const { return receivedLength_; }
    uint64_t ReceivedChecksum() const { return receivedChecksum_; }

private:
    TargetResult Perform(const TargetCommand& command);
    TargetResult PerformCut(const TargetCommand& command, uint32_t cutTo);
    TargetResult Inquiry(const TargetCommand& command) const;
    TargetResult VitalProductData(const TargetCommand& command, uint32_t allocation) const;
    TargetResult ModeSense(const TargetCommand& command) const;
    TargetResult ReadCapacity(const TargetCommand& command) const;
    TargetResult GetConfiguration(const TargetCommand& command) const;
    TargetResult GetEventStatus(const TargetCommand& command) const;
    TargetResult TestUnitReady();
    TargetResult StartStopUnit(const TargetCommand& command);
    TargetResult ReadBuffer(const TargetCommand& command) const;
    TargetResult WriteBuffer(const TargetCommand& command);
    const Fault* FaultFor(uint32_t number, std::optional<uint8_t> opcode) const;
    // Called after every tray or disc change: a disc that has just come to lie in a closed tray
    // spins up again, so the drive reports "becoming ready" anew.
    void UpdateLoaded();

    DriveModel model_;
    bool trayOpen_ = false;
    bool discPresent_ = false;
    bool loaded_ = false;  // disc present and tray closed
    uint32_t becomingReadyLeft_ = 0;
    std::vector<Fault> faults_;
    FaultSource faultSource_;
    bool gone_ = false;
    std::vector<JournalEntry> journal_;
    std::vector<uint8_t> image_;
    uint32_t nextImageOffset_ = 0;  // where the next WRITE BUFFER block must start
    bool imageComplete_ = false;
    bool summaryOnly_ = false;
    uint32_t commandCount_ = 0;
    uint64_t receivedLength_ = 0;
    uint64_t receivedChecksum_ = kChecksumStart;
};

}  // namespace quillet::sim
