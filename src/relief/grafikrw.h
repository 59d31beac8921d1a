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

// Loads the picture file into d. On failure d.poi() is empty (nothing else is reported).
void OpenDib(dib &d, const std::string &fileName, int = 0, int = 0);

// Decodes a picture held in memory (what OpenDib does after reading the file).
void OpenDibFromMemory(dib &d, const uint8_t *data, size_t size);

// The file-name patterns of every format OpenDib reads, separated by ";" ("*.bmp;*.png;...").
std::string GetDIBOpenFilter();

// x raised to the power y.
double power(double x, double y);

} // namespace morvilo
