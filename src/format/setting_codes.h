// The recording device's settings as the master sector stores them: the
// character format as a parameter code, the protocol value as a protocol
// code, and the memory organisation and RTS meaning as flag bits.
#pragma once

#include <cstdint>
#include <string>

namespace qb {

// Character format ("8N1", "7E2", ...) to its code. The parity letter is
// compared without regard to case, the digits exactly; the text must be
// exactly three characters. False for any other text.
bool ParameterCode(const std::string& text, uint16_t& code);
// The upper-case text of a code, or "???" for an unknown code.
const char* ParameterText(uint16_t code);

// A protocol value is valid when its four bytes XOR 0xC5 have bit 0 clear.
bool ProtocolValid(uint32_t value);
// The 8-bit code of a valid value; false when the value is not valid.
bool ProtocolCode(uint32_t value, uint16_t& code);
// The value a stored code stands for; 0 for an unknown code.
uint32_t ProtocolValue(uint16_t code);

// Master flags.
constexpr uint16_t kFlagOverwriteOld = 1;  // ring memory: overwrite the oldest data when full
constexpr uint16_t kFlagOutOfMemory = 2;   // RTS reports the out-of-memory state

// "overwrite_old" when kFlagOverwriteOld is set, else "stop_logger".
const char* MemoryFullKeyword(uint16_t flags);
// "outofmemory" when kFlagOutOfMemory is set, else "recording".
const char* RtsControlKeyword(uint16_t flags);
// The flag bit of a keyword (compared without regard to case): 1 for
// "overwrite_old", 0 for "stop_logger"; false for any other word.
bool MemoryFullCode(const std::string& keyword, uint16_t& code);
// 2 for "outofmemory", 0 for "recording"; false for any other word.
bool RtsControlCode(const std::string& keyword, uint16_t& code);

}  // namespace qb
