// The character set of the document's text: one byte per character, read as
// the Windows character set reads it. Bytes below 0x80 and from 0xA0 up are
// the characters of the same code (as in Latin-1); 0x80 to 0x9F are the
// euro sign, the typographic quotes, dashes and the other characters that
// set puts there. The five positions it leaves empty (0x81, 0x8D, 0x8F, 0x90
// and 0x9D) stand for the control character of the same code, so every byte
// has a character and every such character its byte.
#pragma once

#include <string>
#include <string_view>

namespace qb {

// The character (a UTF-16 code unit; all of them are in the basic plane)
// that the byte stands for.
char16_t AnsiCharacter(unsigned char byte);

// The byte of the character, or -1 when the set has none.
int AnsiByte(char16_t character);

// The text of the bytes, one character per byte.
std::u16string AnsiToUtf16(std::string_view bytes);

// The bytes of the text; false (and `bytes` unchanged) when a character of
// it has no byte in the set.
bool Utf16ToAnsi(std::u16string_view text, std::string& bytes);

}  // namespace qb
