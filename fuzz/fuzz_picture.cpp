// Any bytes as a picture file: OpenDibFromMemory (our BMP reader or Qt's decoders), then the
// raise to 24 bits that the relief generator asks for. Besides the sanitizers' findings, a
// picture handed over in a shape the generator cannot rely on is a fault.

#include "relief/dib.h"
#include "relief/grafikrw.h"

#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <cstdlib>

namespace {

bool WellFormed(const morvilo::dib &d) {
    const int bpp = d.pmi.biBitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24)
        return false;
    if (d.pmi.biWidth <= 0 || d.pmi.biHeight <= 0 ||
        int64_t(d.pmi.biWidth) * d.pmi.biHeight > morvilo::DibPixelLimit())
        return false;
    return d.bytew == morvilo::DibRowBytes(d.pmi.biWidth, bpp) &&
           int64_t(d.pixels.size()) == d.bytew * d.pmi.biHeight;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // A few header bytes can announce a picture of any size; keep each input small so that
    // the fuzzer spends its time on the parsers, not on clearing memory.
    morvilo::SetDibPixelLimit(int64_t(1) << 22);
    // Qt's decoders report every corrupt file on stderr.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    morvilo::dib d;
    morvilo::OpenDibFromMemory(d, data, size);
    if (d.poi() == nullptr) {
        if (!d.pixels.empty())
            std::abort();
        return 0;
    }
    if (!WellFormed(d))
        std::abort();
    morvilo::DepthUpTo(d, 24);
    // Every picture within the limit has room for its 24-bit copy.
    if (!WellFormed(d) || d.pmi.biBitCount != 24)
        std::abort();
    return 0;
}
