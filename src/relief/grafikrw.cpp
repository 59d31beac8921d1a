#include "relief/grafikrw.h"

#include "relief/bmpreader.h"
#include "relief/qtpicture.h"
#include "vantrel/filebytes.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace morvilo {

namespace {

// No picture we accept needs a larger file: 2^29 pixels at 4 bytes plus headers stays below,
// and refusing early keeps a huge unrelated file from being read into memory.
constexpr uint64_t kMaxFileBytes = uint64_t(4) << 30;

} // namespace

void OpenDib(dib &d, const std::string &fileName, int, int) {
    deldib(d);
    std::vector<uint8_t> bytes;
    if (!ReadRegularFile(fileName, bytes, kMaxFileBytes) || bytes.empty())
        return;
    OpenDibFromMemory(d, bytes.data(), bytes.size());
}

void OpenDibFromMemory(dib &d, const uint8_t *data, size_t size) {
    deldib(d);
    if (data == nullptr || size == 0)
        return;
    try {
        if (size >= 2 && data[0] == 'B' && data[1] == 'M')
            ReadBmp(d, data, size);
        else
            ReadQtPicture(d, data, size);
    } catch (const std::bad_alloc &) {
        deldib(d);
    }
}

std::string GetDIBOpenFilter() {
    std::vector<std::string> names{"bmp", "dib"};
    for (std::string &name : QtPictureFormats())
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(std::move(name));
    std::string filter;
    for (const std::string &name : names) {
        if (!filter.empty())
            filter += ';';
        filter += "*." + name;
    }
    return filter;
}

double power(double x, double y) {
    return std::pow(x, y);
}

} // namespace morvilo
