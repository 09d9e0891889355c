#include "device/sense_text.h"

#include <cstdio>

#include "device/scsi.h"

namespace quillet {

namespace {

struct AdditionalSense {
    uint8_t code;
    uint8_t qualifier;
    const char* text;
};

// The conditions a CD drive reports around a firmware download; others are shown by number.
constexpr AdditionalSense kAdditionalSense[] = {
    {0x00, 0x00, "no additional sense information"},
    {0x04, 0x00, "logical unit not ready, cause not reportable"},
    {0x04, 0x01, "logical unit is in process of becoming ready"},
    {0x04, 0x02, "logical unit not ready, initializing command required"},
    {0x04, 0x03, "logical unit not ready, manual intervention required"},
    {0x04, 0x07, "logical unit not ready, operation in progress"},
    {0x05, 0x00, "logical unit does not respond to selection"},
    {0x08, 0x00, "logical unit communication failure"},
    {0x0C, 0x00, "write error"},
    {0x11, 0x00, "unrecovered read error"},
    {0x1A, 0x00, "parameter list length error"},
    {0x20, 0x00, "invalid command operation code"},
    {0x21, 0x00, "logical block address out of range"},
    {0x24, 0x00, "invalid field in CDB"},
    {0x25, 0x00, "logical unit not supported"},
    {0x26, 0x00, "invalid field in parameter list"},
    {0x28, 0x00, "not ready to ready change, medium may have changed"},
    {0x29, 0x00, "power on, reset, or bus device reset occurred"},
    {0x2C, 0x00, "command sequence error"},
    {0x30, 0x00, "incompatible medium installed"},
    {0x3A, 0x00, "medium not present"},
    {0x3A, 0x01, "medium not present, tray closed"},
    {0x3A, 0x02, "medium not present, tray open"},
    {0x3E, 0x00, "logical unit has not self-configured yet"},
    {0x3F, 0x01, "microcode has been changed"},
    {0x44, 0x00, "internal target failure"},
    {0x53, 0x02, "medium removal prevented"},
};

constexpr const char* kSenseKeys[16] = {
    "NO SENSE",        "RECOVERED ERROR", "NOT READY",      "MEDIUM ERROR",
    "HARDWARE ERROR",  "ILLEGAL REQUEST", "UNIT ATTENTION", "DATA PROTECT",
    "BLANK CHECK",     "VENDOR SPECIFIC", "COPY ABORTED",   "ABORTED COMMAND",
    "reserved key Ch", "VOLUME OVERFLOW", "MISCOMPARE",     "reserved key Fh",
};

constexpr uint8_t kFixedCurrent = 0x70;
constexpr uint8_t kFixedDeferred = 0x71;
constexpr uint8_t kDescriptorCurrent = 0x72;
constexpr uint8_t kDescriptorDeferred = 0x73;

std::string Hex(uint8_t value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

}  // namespace

std::string CommandName(uint8_t opcode) {
    switch (opcode) {
        case kOpTestUnitReady:
            return "TEST UNIT READY";
        case kOpInquiry:
            return "INQUIRY";
        case kOpStartStopUnit:
            return "START STOP UNIT";
        case kOpWriteBuffer:
            return "WRITE BUFFER";
        case kOpReadBuffer:
            return "READ BUFFER";
        default:
            return "command " + Hex(opcode) + "h";
    }
}

SenseFields ReadSenseFields(const uint8_t* sense, size_t length) {
    SenseFields fields;
    if (sense == nullptr || length == 0)
        return fields;
    const uint8_t format = sense[0] & 0x7F;
    const bool descriptor = format == kDescriptorCurrent || format == kDescriptorDeferred;
    fields.knownFormat = descriptor || format == kFixedCurrent || format == kFixedDeferred;
    const size_t keyAt = descriptor ? 1 : kSenseKeyIndex;
    const size_t codeAt = descriptor ? 2 : kSenseCodeIndex;
    const size_t qualifierAt = descriptor ? 3 : kSenseQualifierIndex;
    fields.hasKey = length > keyAt;
    fields.hasCode = length > qualifierAt;
    if (fields.hasKey)
        fields.key = sense[keyAt] & 0x0F;
    if (fields.hasCode) {
        fields.code = sense[codeAt];
        fields.qualifier = sense[qualifierAt];
    }
    return fields;
}

std::string SenseInWords(const uint8_t* sense, size_t length) {
    if (sense == nullptr || length == 0)
        return "no sense data";
    const SenseFields fields = ReadSenseFields(sense, length);
    if (!fields.knownFormat)
        return "sense data in an unknown format (" + Hex(sense[0]) + "h)";
    if (!fields.hasKey)
        return "sense data too short to read";
    std::string text =
        std::string(kSenseKeys[fields.key]) + " (sense key " + Hex(fields.key).substr(1) + "h)";
    if (!fields.hasCode)
        return text;
    const char* meaning = nullptr;
    for (const AdditionalSense& entry : kAdditionalSense) {
        if (entry.code == fields.code && entry.qualifier == fields.qualifier)
            meaning = entry.text;
    }
    text += ", ";
    text += meaning ? meaning : "additional sense not known to Quillet";
    text += " (ASC " + Hex(fields.code) + "h, ASCQ " + Hex(fields.qualifier) + "h)";
    return text;
}

}  // namespace quillet
