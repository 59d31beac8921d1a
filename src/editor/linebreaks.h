#pragma once
// Finding line-break bytes (CR, LF) fast: the line reader, the line counter and search walk
// whole documents with it.

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace morvilo {

constexpr uint8_t kCR = 13;
constexpr uint8_t kLF = 10;

inline bool IsLineBreakByte(uint8_t b) {
    return b == kCR || b == kLF;
}

// The first CR or LF in [p, end), or end.
inline const uint8_t *FindLineBreak(const uint8_t *p, const uint8_t *end) {
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8(char(kCR));
    const __m128i lf = _mm_set1_epi8(char(kLF));
    while (end - p >= 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const int mask =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(chunk, cr), _mm_cmpeq_epi8(chunk, lf)));
        if (mask != 0)
            return p + __builtin_ctz(unsigned(mask));
        p += 16;
    }
#endif
    while (p < end && !IsLineBreakByte(*p))
        ++p;
    return p;
}

// The first CR, LF or 0 byte in [p, end), or end: where a line's text stops or a byte must be
// left out of it.
inline const uint8_t *FindLineBreakOrZero(const uint8_t *p, const uint8_t *end) {
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8(char(kCR));
    const __m128i lf = _mm_set1_epi8(char(kLF));
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i hits =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, cr), _mm_cmpeq_epi8(chunk, lf)),
                         _mm_cmpeq_epi8(chunk, zero));
        const int mask = _mm_movemask_epi8(hits);
        if (mask != 0)
            return p + __builtin_ctz(unsigned(mask));
        p += 16;
    }
#endif
    while (p < end && *p != kCR && *p != kLF && *p != 0)
        ++p;
    return p;
}

// The first byte in [p, end) that is not 0, or end: long runs of 0 bytes (a sparse file's
// holes) are passed over at memory speed.
inline const uint8_t *SkipZeros(const uint8_t *p, const uint8_t *end) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(chunk, zero)) ^ 0xFFFF;
        if (mask != 0)
            return p + __builtin_ctz(unsigned(mask));
        p += 16;
    }
#endif
    while (p < end && *p == 0)
        ++p;
    return p;
}

} // namespace morvilo
