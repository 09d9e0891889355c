#include "sim/drive_config.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quillet::sim {

namespace {

constexpr int kMaxFaults = 16;
constexpr uint32_t kValueSize = 1024;

// "05 80 02 ..." into bytes.
std::vector<uint8_t> HexBytes(const std::string& text) {
    std::vector<uint8_t> bytes;
    const char* at = text.c_str();
    char* end = nullptr;
    for (;;) {
        const unsigned long value = std::strtoul(at, &end, 16);
        if (end == at)
            break;
        bytes.push_back(static_cast<uint8_t>(value));
        at = end;
    }
    return bytes;
}

// "<never|check> <command number> <opcode or *> [kk/cc/qq]"
bool ParseFault(const std::string& text, Fault* fault) {
    char kind[16] = {};
    char opcode[16] = {};
    unsigned long number = 0;
    unsigned key = 0x04, code = 0x44, qualifier = 0x00;
    const int fields = std::sscanf(text.c_str(), "%15s %lu %15s %x/%x/%x", kind, &number, opcode,
                                   &key, &code, &qualifier);
    if (fields < 3)
        return false;
    if (std::strcmp(kind, "never") == 0) {
        fault->kind = FaultKind::NeverCompletes;
    } else if (std::strcmp(kind, "check") == 0) {
        fault->kind = FaultKind::CheckCondition;
    } else {
        return false;
    }
    fault->commandNumber = static_cast<uint32_t>(number);
    if (std::strcmp(opcode, "*") != 0)
        fault->opcode = static_cast<uint8_t>(std::strtoul(opcode, nullptr, 16));
    fault->sense = Sense{static_cast<uint8_t>(key), static_cast<uint8_t>(code),
                         static_cast<uint8_t>(qualifier)};
    return true;
}

}  // namespace

std::string DriveConfigFile::Text(const std::string& section, const std::string& key,
                                  const std::string& fallback) const {
    char value[kValueSize] = {};
    reader_.ReadString(section, key, fallback, value, kValueSize, path_);
    return value;
}

long DriveConfigFile::Number(const std::string& section, const std::string& key,
                             long fallback) const {
    const std::string text = Text(section, key, "");
    if (text.empty())
        return fallback;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    return std::strtol(text.c_str(), nullptr, hex ? 16 : 10);
}

DriveConfig ReadDriveConfig(const DriveConfigFile& config, int n) {
    const std::string section = "Drive" + std::to_string(n);
    DriveConfig drive;
    DriveModel& model = drive.model;
    model.peripheral = static_cast<uint8_t>(config.Number(section, "Peripheral", 0x05));
    model.vendor = config.Text(section, "Vendor", model.vendor);
    model.product = config.Text(section, "Product", model.product);
    model.revision = config.Text(section, "Revision", model.revision);
    model.serialNumber = config.Text(section, "Serial", model.serialNumber);
    const std::string inquiry = config.Text(section, "Inquiry", "");
    if (!inquiry.empty())
        model.inquiryData = HexBytes(inquiry);
    const std::string tag = config.Text(section, "Tag", "");
    if (!tag.empty()) {
        model.firmwareTag.fill(0);
        std::memcpy(model.firmwareTag.data(), tag.data(), std::min<size_t>(tag.size(), 8));
    }
    model.productCode = static_cast<uint32_t>(config.Number(section, "ProductCode", 0));
    model.trayOpen = config.Text(section, "Tray", "closed") == "open";
    model.discPresent = config.Number(section, "Disc", 0) != 0;
    model.loadClosesTray = config.Number(section, "LoadClosesTray", 1) != 0;
    model.becomingReadyCommands = static_cast<uint32_t>(config.Number(section, "BecomingReady", 0));
    for (int f = 1; f <= kMaxFaults; ++f) {
        Fault fault;
        if (ParseFault(config.Text(section, "Fault" + std::to_string(f), ""), &fault))
            drive.faults.push_back(fault);
    }
    drive.journalName = config.Text(section, "Journal", section + ".LOG");
    drive.imageName = config.Text(section, "Image", section + ".IMG");
    drive.adapter = static_cast<int>(config.Number(section, "Adapter", 0));
    drive.target = static_cast<int>(config.Number(section, "Target", 0));
    drive.lun = static_cast<int>(config.Number(section, "Lun", 0));
    const std::string letter = config.Text(section, "Letter", "");
    // "F" or "F:", either case.
    if (letter.size() == 1 || (letter.size() == 2 && letter[1] == ':')) {
        const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter[0])));
        if (upper >= 'A' && upper <= 'Z')
            drive.letter = upper;
    }
    const std::string refused = config.Text(section, "RefuseMediaChange", "");
    drive.refusesSwitchOff = refused == "off" || refused == "both";
    drive.refusesSwitchOn = refused == "on" || refused == "both";
    return drive;
}

std::vector<DriveConfig> ReadDriveConfigs(const DriveConfigFile& config) {
    std::vector<DriveConfig> drives;
    const long count = config.Number("ASPI", "Drives", 0);
    for (int n = 0; n < count && n < kMaxConfiguredDrives; ++n)
        drives.push_back(ReadDriveConfig(config, n));
    return drives;
}

}  // namespace quillet::sim
