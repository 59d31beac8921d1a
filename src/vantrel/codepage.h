#pragma once
// The Western 8-bit code page (Windows-1252) of documents and interface texts: Latin-1 with
// printable characters in 0x80 .. 0x9F.

#include <cstdint>
#include <string>
#include <string_view>

namespace morvilo {

// The character of a byte (the five bytes without a character map to themselves).
char16_t Windows1252ToUnicode(uint8_t byte);
// The byte of a character; -1 when the code page has none.
int UnicodeToWindows1252(char16_t character);

// Whole texts: characters the code page lacks become "?".
std::string Windows1252FromUtf16(std::u16string_view text);
std::u16string Utf16FromWindows1252(std::string_view bytes);

} // namespace morvilo
