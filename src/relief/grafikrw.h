#pragma once
// The picture layer: reads picture files into the dib record.
// BMP files go through our own reader, which keeps the stored depth (1, 4, 8, 16 as 5-5-5,
// 24; 32-bit and other 16-bit layouts are converted to 24 bits). Every other format that
// QImageReader can read arrives as an 8-bit palette picture when it is indexed or grey,
// 1-bit when it is monochrome, else 24-bit.

#include "relief/dib.h"

#include <cstddef>
#include <string>

namespace morvilo {

enum class PictureRefusal { None, Unreadable, TooManyPixels, NotEnoughMemory };

// How loading a picture went: why it was refused, with the sizes that tell the user why.
struct PictureLoad {
    PictureRefusal refusal = PictureRefusal::None;
    int64_t width = 0, height = 0; // the size the file announces, once it is known
    uint64_t memoryNeeded = 0;     // NotEnoughMemory: what the picture would take (0: unknown)
    uint64_t memoryAvailable = 0;  // and what there is

    // False, and refused for want of memory, when bytes more do not fit the memory available.
    bool Affords(uint64_t bytes);
};

// Loads the picture file into d. The file's header is read and checked before its body: a
// picture of more than DibPixelLimit() pixels, or one that would not fit the memory available
// (with its raise to 24 bits), is refused before its memory is taken, and no more of a file is
// read than its picture needs. On failure d.poi() is empty.
PictureLoad OpenPicture(dib &d, const std::string &fileName);

// OpenPicture without the reason of a failure.
void OpenDib(dib &d, const std::string &fileName, int = 0, int = 0);

// Decodes a picture held in memory (what OpenDib does after reading the file).
void OpenDibFromMemory(dib &d, const uint8_t *data, size_t size);

// The file-name patterns of every format OpenDib reads, separated by ";" ("*.bmp;*.png;...").
std::string GetDIBOpenFilter();

// x raised to the power y.
double power(double x, double y);

} // namespace morvilo
