#pragma once
// Every picture format other than BMP, read through QImageReader and handed over in the
// depth closest to what the file holds:
//   indexed pictures      8 bits, their colour table in pal.rgb0
//   greyscale (8 or 16)   8 bits with a grey ramp
//   monochrome            1 bit, its two colours in pal.rgb0
//   everything else       24 bits (bytes blue, green, red)
// Transparency is laid over white, the colour of the paper a relief is milled from: a
// transparent background must not turn into the deepest level. Only the first picture of an
// animation or a multi-page file is read; an orientation stored with the picture (EXIF) is
// applied, so the picture reads the way viewers show it.
//
// No QCoreApplication is needed: Qt finds its image-format plugins (JPEG, GIF, TIFF, WebP ...)
// through its installed plugin folder and QT_PLUGIN_PATH without one.

#include "relief/dib.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class QImage;
class QIODevice;

namespace morvilo {

struct PictureLoad;

// Decodes a picture held in memory. Returns false, with d empty, when Qt cannot read it or it
// is larger than DibPixelLimit().
bool ReadQtPicture(dib &d, const uint8_t *data, size_t size);

// Decodes the picture a device delivers (a file is read as far as the decoder needs it). Its
// size is checked before it is decoded, against DibPixelLimit() and the memory available;
// load says why a picture was refused.
bool ReadQtPicture(dib &d, QIODevice &device, PictureLoad &load);

// Converts a decoded image into the picture record as described above.
bool DibFromQImage(dib &d, const QImage &image);

// The lower-case names of the formats QImageReader reads ("png", "jpg", ...), without
// duplicates.
std::vector<std::string> QtPictureFormats();

} // namespace morvilo
