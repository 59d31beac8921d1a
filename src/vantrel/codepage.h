#pragma once
// The Western 8-bit code page (Windows-1252) of documents and interface texts: Latin-1 with
// printable characters in 0x80 .. 0x9F.

#include <cstdint>

namespace morvilo {

// The character of a byte (the five bytes without a character map to themselves).
char16_t Windows1252ToUnicode(uint8_t byte);
// The byte of a character; -1 when the code page has none.
int UnicodeToWindows1252(char16_t character);

} // namespace morvilo
