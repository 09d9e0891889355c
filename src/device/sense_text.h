// SCSI status and sense data in words, for the messages of programs that talk to a drive
// directly: the command's name, the sense key, and the additional sense code and qualifier.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillet {

// The sense key, the additional sense code and its qualifier where the sense's format puts them:
// bytes 1, 2 and 3 in descriptor format (72h, 73h), else 2, 12 and 13. Each is read only where
// the data reaches it, and left 0 otherwise.
struct SenseFields {
    bool knownFormat = false;  // fixed (70h, 71h) or descriptor format
    bool hasKey = false;
    bool hasCode = false;  // the code and its qualifier
    uint8_t key = 0;       // 0..15
    uint8_t code = 0;
    uint8_t qualifier = 0;
};
SenseFields ReadSenseFields(const uint8_t* sense, size_t length);

// "WRITE BUFFER", "TEST UNIT READY", ...; "command 4Ah" for one the program never sends.
std::string CommandName(uint8_t opcode);

// "ILLEGAL REQUEST (sense key 5h), invalid command operation code (ASC 20h, ASCQ 00h)".
// Fixed and descriptor formats; a buffer too short to hold the fields says so.
std::string SenseInWords(const uint8_t* sense, size_t length);

}  // namespace quillet
