#include "relief/qtpicture.h"

#include "relief/grafikrw.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <climits>
#include <cstring>
#include <limits>
#include <utility>

namespace morvilo {

namespace {

// The largest image QImageReader may allocate while decoding: enough for the biggest picture
// we accept at 8 bytes a pixel (16-bit RGBA), which Qt's own default of 256 MB is not.
int AllocationLimitMb() {
    const int64_t mb = DibPixelLimit() * 8 / (1024 * 1024);
    return int(std::clamp<int64_t>(mb, 64, INT_MAX));
}

bool WithinLimit(const QSize &size) {
    return int64_t(size.width()) * size.height() <= DibPixelLimit();
}

PaletteEntry OverWhite(QRgb c) {
    const int a = qAlpha(c);
    auto mix = [a](int v) { return uint8_t((v * a + 255 * (255 - a) + 127) / 255); };
    return {mix(qRed(c)), mix(qGreen(c)), mix(qBlue(c)), 0};
}

// Copies rows of 1 or 8 bits; QImage stores them top-down, the record bottom-up.
void CopyRowsFlipped(dib &d, const QImage &image, int bpp) {
    const int height = image.height();
    const size_t used = (size_t(image.width()) * size_t(bpp) + 7) / 8;
    for (int y = 0; y < height; ++y)
        std::memcpy(d.row(height - 1 - y), image.constScanLine(y), used);
}

bool FromIndexed(dib &d, const QImage &image, int bpp) {
    newdib(d, image.width(), image.height(), bpp);
    if (!d.poih)
        return false;
    const QList<QRgb> table = image.colorTable();
    d.pal = LPAL{};
    d.pal.num = uint16_t(1 << bpp);
    const qsizetype entries = std::min<qsizetype>(table.size(), 1 << bpp);
    for (qsizetype i = 0; i < entries; ++i)
        d.pal.rgb0[i] = OverWhite(table[i]);
    // A monochrome image without its colours is black on white, as Qt itself shows it.
    if (bpp == 1 && entries < 2)
        d.pal.rgb0[1] = {255, 255, 255, 0};
    CopyRowsFlipped(d, image, bpp);
    return true;
}

bool FromGrey(dib &d, const QImage &image) {
    newdib(d, image.width(), image.height(), 8); // comes with the grey ramp
    if (!d.poih)
        return false;
    CopyRowsFlipped(d, image, 8);
    return true;
}

void StoreBgr(uint8_t *p, int red, int green, int blue) {
    p[0] = uint8_t(blue);
    p[1] = uint8_t(green);
    p[2] = uint8_t(red);
}

// The formats decoders commonly hand over are read directly, without a converted copy of a
// possibly very large photo; the rest is converted first.
bool FromColour(dib &d, const QImage &image) {
    QImage source = image;
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
        break;
    default:
        source = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                               : QImage::Format_RGB32);
        break;
    }
    if (source.isNull())
        return false;
    const int width = source.width(), height = source.height();
    newdib(d, width, height, 24);
    if (!d.poih)
        return false;
    const QImage::Format format = source.format();
    for (int y = 0; y < height; ++y) {
        const uchar *line = source.constScanLine(y);
        const auto *pixels = reinterpret_cast<const QRgb *>(line);
        uint8_t *dst = d.row(height - 1 - y);
        if (format == QImage::Format_BGR888) {
            std::memcpy(dst, line, size_t(width) * 3);
            continue;
        }
        for (int x = 0; x < width; ++x) {
            uint8_t *p = dst + 3 * x;
            switch (format) {
            case QImage::Format_RGB888:
                StoreBgr(p, line[3 * x], line[3 * x + 1], line[3 * x + 2]);
                break;
            case QImage::Format_RGB32:
                StoreBgr(p, qRed(pixels[x]), qGreen(pixels[x]), qBlue(pixels[x]));
                break;
            case QImage::Format_ARGB32: {
                const PaletteEntry c = OverWhite(pixels[x]);
                StoreBgr(p, c.red, c.green, c.blue);
                break;
            }
            default: { // premultiplied: c * a + 255 * (1 - a) is c' + 255 - a
                const QRgb c = pixels[x];
                const int paper = 255 - qAlpha(c);
                StoreBgr(p, std::min(qRed(c) + paper, 255), std::min(qGreen(c) + paper, 255),
                         std::min(qBlue(c) + paper, 255));
                break;
            }
            }
        }
    }
    return true;
}

} // namespace

bool DibFromQImage(dib &d, const QImage &image) {
    deldib(d);
    if (image.isNull() || !WithinLimit(image.size()))
        return false;
    bool ok = false;
    switch (image.format()) {
    case QImage::Format_Mono:
        ok = FromIndexed(d, image, 1);
        break;
    case QImage::Format_MonoLSB:
        ok = FromIndexed(d, image.convertToFormat(QImage::Format_Mono), 1);
        break;
    case QImage::Format_Indexed8:
        ok = FromIndexed(d, image, 8);
        break;
    case QImage::Format_Grayscale8:
        ok = FromGrey(d, image);
        break;
    case QImage::Format_Grayscale16:
        ok = FromGrey(d, image.convertToFormat(QImage::Format_Grayscale8));
        break;
    default:
        ok = FromColour(d, image);
        break;
    }
    if (!ok)
        deldib(d);
    return ok;
}

bool ReadQtPicture(dib &d, QIODevice &device, PictureLoad &load) {
    deldib(d);
    load = PictureLoad{};
    load.refusal = PictureRefusal::Unreadable;
    QImageReader::setAllocationLimit(AllocationLimitMb());
    QImageReader reader(&device);
    reader.setAutoTransform(true);
    // The header tells the size of most formats: a picture too large is refused before a byte
    // of it is decoded.
    if (const QSize announced = reader.size(); announced.isValid()) {
        load.width = announced.width();
        load.height = announced.height();
        if (!WithinLimit(announced)) {
            load.refusal = PictureRefusal::TooManyPixels;
            return false;
        }
        // The decoded image and the picture record made of it live side by side.
        const QImage::Format format = reader.imageFormat();
        const int decodedBits =
            format == QImage::Format_Invalid ? 32 : QImage::toPixelFormat(format).bitsPerPixel();
        const uint64_t pixels = uint64_t(announced.width()) * uint64_t(announced.height());
        if (!load.Affords(pixels * uint64_t(decodedBits) / 8 + pixels * 3))
            return false;
    }
    QImage image;
    if (!reader.read(&image))
        return false;
    if (!WithinLimit(image.size())) {
        load.width = image.width();
        load.height = image.height();
        load.refusal = PictureRefusal::TooManyPixels;
        return false;
    }
    if (!DibFromQImage(d, image))
        return false;
    load.refusal = PictureRefusal::None;
    return true;
}

bool ReadQtPicture(dib &d, const uint8_t *data, size_t size) {
    deldib(d);
    if (data == nullptr || size == 0 || size > size_t(std::numeric_limits<qsizetype>::max()))
        return false;
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return false;
    PictureLoad load;
    return ReadQtPicture(d, buffer, load);
}

std::vector<std::string> QtPictureFormats() {
    std::vector<std::string> names;
    for (const QByteArray &format : QImageReader::supportedImageFormats()) {
        std::string name = format.toLower().toStdString();
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(std::move(name));
    }
    return names;
}

} // namespace morvilo
