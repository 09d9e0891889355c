// Both download procedures behind one face, for tests that hold on either transport: a simulated
// drive behind the simulated ASPI layer or a simulated volume, in-memory firmware files, a
// recorded progress bar and message boxes, all on one virtual clock. Each side knows the
// commands it sends before the first block and how its messages look.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/recorded_message_box.h"
#include "sim/simulated_drive.h"
#include "support/aspi_rig.h"
#include "support/expected_journal.h"
#include "support/memory_firmware_files.h"
#include "support/pass_through_rig.h"
#include "support/recorded_progress.h"
#include "update/download.h"

namespace quillet::test {

inline constexpr char kEjectDiscText[] = "Eject the disc from the drive.";

class FixedStrings : public StringSource {
public:
    std::string LoadStringResource(int id) override {
        return id == kEjectDiscStringId ? kEjectDiscText : std::string();
    }
};

// Journal lines without their numbers, as the drive received them.
inline std::vector<std::string> JournalLines(const sim::SimulatedDrive& drive) {
    std::vector<std::string> lines;
    for (const sim::JournalEntry& entry : drive.Journal()) {
        const std::string line = sim::FormatJournalEntry(entry);
        lines.push_back(line.substr(line.find(' ') + 1));
    }
    return lines;
}

// The WRITE BUFFER lines of the journal.
inline std::vector<std::string> WriteBuffers(const sim::SimulatedDrive& drive) {
    std::vector<std::string> lines;
    for (const std::string& line : JournalLines(drive)) {
        if (line.rfind("3B", 0) == 0)
            lines.push_back(line);
    }
    return lines;
}

class DownloadHarness {
public:
    static constexpr WindowHandle kMainDialog = 0x5150;

    virtual ~DownloadHarness() = default;
    virtual const char* Name() const = 0;

    // The drive to update; call once, before Run.
    virtual sim::SimulatedDrive& AddDrive(sim::DriveModel model) = 0;
    // Runs the procedure on the drive with the image file and product code.
    virtual int Run(const std::string& file, uint32_t productCode) = 0;
    // What Run's download did to the drive.
    virtual const DownloadOutcome& Outcome() const = 0;

    // What a drive with a closed tray and no disc receives before the first block.
    virtual std::vector<std::string> BeforeFirstBlock() const = 0;
    virtual std::string TagRead() const = 0;
    // The zero-length closing command's direction in the journal.
    virtual const char* ClosingDirection() const = 0;
    std::string Block(uint32_t offset, uint32_t length) const {
        return WriteBufferLine(offset, length, ClosingDirection());
    }

    // Handles or requests the side still holds on the drive after Run.
    virtual size_t LeftOpen() const = 0;
    // The media change notification switches sent (values, in order); none on ASPI.
    virtual std::vector<int> Switches() const { return {}; }

    virtual VirtualClock& Clock() = 0;
    virtual RecordedMessageBox& Messages() = 0;

    // After Run: only the expected waits slept, and no file, handle or request left open.
    void ExpectReleased(uint64_t sleptMs = 0) {
        EXPECT_EQ(Clock().TotalSlept(), sleptMs);
        EXPECT_EQ(files.OpenFiles(), 0u);
        EXPECT_EQ(LeftOpen(), 0u);
    }

    MemoryFirmwareFiles files;
    RecordedProgress progress;
    FixedStrings strings;
};

class AspiHarness : public DownloadHarness {
public:
    static constexpr int kTarget = 3;

    AspiHarness() { rig.layer.AddAdapter(7); }

    const char* Name() const override { return "ASPI"; }
    sim::SimulatedDrive& AddDrive(sim::DriveModel model) override {
        product = model.product;
        return rig.AddDrive(0, kTarget, 0, std::move(model));
    }
    int Run(const std::string& file, uint32_t productCode) override {
        transport = rig.LoadedTransport();
        return download.DownloadFirmware(*transport, 0, kTarget, 0, product, productCode, file,
                                         progress, kMainDialog);
    }
    const DownloadOutcome& Outcome() const override { return download.Outcome(); }

    std::vector<std::string> BeforeFirstBlock() const override {
        return journal::aspi::BeforeFirstBlock();
    }
    std::string TagRead() const override { return journal::aspi::kTagRead; }
    const char* ClosingDirection() const override { return journal::aspi::kClosingDirection; }

    size_t LeftOpen() const override { return rig.layer.Outstanding(); }

    VirtualClock& Clock() override { return rig.clock; }
    RecordedMessageBox& Messages() override { return rig.messages; }

    AspiRig rig;
    std::string product;
    std::unique_ptr<AspiTransport> transport;
    FirmwareDownload download{rig.clock, rig.messages, files, strings};
};

class PassThroughHarness : public DownloadHarness {
public:
    static constexpr char kLetter = 'F';

    const char* Name() const override { return "pass-through"; }
    sim::SimulatedDrive& AddDrive(sim::DriveModel model) override {
        return rig.MapDrive(kLetter, std::move(model));
    }
    int Run(const std::string& file, uint32_t productCode) override {
        list = rig.MakeList();
        return download.DownloadFirmware(*list, 0, file, kMainDialog, productCode, progress);
    }
    const DownloadOutcome& Outcome() const override { return download.Outcome(); }

    std::vector<std::string> BeforeFirstBlock() const override {
        // The drive list's own INQUIRY comes first.
        return Join({{journal::pass_through::kSearchInquiry}, journal::pass_through::DiscCheck()});
    }
    std::string TagRead() const override { return journal::pass_through::kTagRead; }
    const char* ClosingDirection() const override {
        return journal::pass_through::kClosingDirection;
    }

    size_t LeftOpen() const override { return rig.volumes.OpenHandles(); }

    VirtualClock& Clock() override { return rig.clock; }
    RecordedMessageBox& Messages() override { return rig.messages; }

    std::vector<int> Switches() const override {
        std::vector<int> values;
        for (const auto& change : rig.volumes.MediaChangeSwitches())
            values.push_back(change.value);
        return values;
    }

    PassThroughRig rig;
    std::unique_ptr<PassThroughDriveList> list;
    FirmwareDownload download{rig.clock, rig.messages, files, strings};
};

inline std::unique_ptr<DownloadHarness> MakeHarness(bool aspi) {
    if (aspi)
        return std::make_unique<AspiHarness>();
    return std::make_unique<PassThroughHarness>();
}

// A stretch of bytes that differ from block to block and from image to image.
inline std::string Pattern(size_t length, uint8_t seed) {
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>((i * 31 + seed + i / 16384) % 251 + 1);
    return bytes;
}

// One image section: big-endian section length, 8-byte tag, payload up to the length.
inline std::string Section(const std::string& tag, uint32_t length, uint8_t seed) {
    std::string bytes;
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes += static_cast<char>((length >> shift) & 0xFF);
    bytes += tag.substr(0, 8);
    bytes.resize(12, '\0');
    if (length > 12)
        bytes += Pattern(length - 12, seed);
    return bytes;
}

// What the drive keeps of an image: the image padded with zeros to a multiple of 2048 bytes.
inline std::vector<uint8_t> Padded(const std::string& image) {
    std::vector<uint8_t> bytes(image.begin(), image.end());
    bytes.resize((bytes.size() + 2047) / 2048 * 2048, 0);
    return bytes;
}

}  // namespace quillet::test
