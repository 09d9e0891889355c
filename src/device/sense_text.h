// SCSI status and sense data in words, for the messages of programs that talk to a drive
// directly: the command's name, the sense key, and the additional sense code and qualifier.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillet {

// "WRITE BUFFER", "TEST UNIT READY", ...; "command 4Ah" for one the program never sends.
std::string CommandName(uint8_t opcode);

// "ILLEGAL REQUEST (sense key 5h), invalid command operation code (ASC 20h, ASCQ 00h)".
// Fixed and descriptor formats; a buffer too short to hold the fields says so.
std::string SenseInWords(const uint8_t* sense, size_t length);

}  // namespace quillet
