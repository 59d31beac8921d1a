#include "vantrel/codepage.h"

namespace morvilo {

namespace {

// 0x80 .. 0x9F; the unassigned 0x81, 0x8D, 0x8F, 0x90, 0x9D stand for themselves.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

char16_t Windows1252ToUnicode(uint8_t byte) {
    return byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80] : char16_t(byte);
}

int UnicodeToWindows1252(char16_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
        return character;
    for (int i = 0; i < 32; ++i)
        if (kHighControls[i] == character)
            return 0x80 + i;
    return -1;
}

std::string Windows1252FromUtf16(std::u16string_view text) {
    std::string bytes(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        const int b = UnicodeToWindows1252(text[i]);
        bytes[i] = char(b < 0 ? '?' : b);
    }
    return bytes;
}

std::u16string Utf16FromWindows1252(std::string_view bytes) {
    std::u16string text(bytes.size(), u'\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        text[i] = Windows1252ToUnicode(uint8_t(bytes[i]));
    return text;
}

} // namespace morvilo
