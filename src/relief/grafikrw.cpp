#include "relief/grafikrw.h"

#include "relief/bmpreader.h"
#include "relief/qtpicture.h"
#include "vantrel/filebytes.h"
#include "vantrel/room.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace morvilo {

namespace {

// The first bytes of a file, read to recognise its format before anything else is read.
constexpr uint64_t kHeadBytes = 64 * 1024;

bool LoadBmp(dib &d, const RegularFile &file, const std::vector<uint8_t> &head, PictureLoad &load) {
    BmpHeader header;
    if (!ReadBmpHeader(head.data(), head.size(), file.Size(), header))
        return false;
    load.width = header.width;
    load.height = header.height;
    if (int64_t(header.width) * header.height > DibPixelLimit()) {
        load.refusal = PictureRefusal::TooManyPixels;
        return false;
    }
    // The file's bytes, the picture and its raise to 24 bits live side by side.
    const uint64_t rows = uint64_t(header.height);
    const uint64_t picture = uint64_t(DibRowBytes(header.width, header.pictureBpp)) * rows;
    const uint64_t raised =
        header.pictureBpp == 24 ? 0 : uint64_t(DibRowBytes(header.width, 24)) * rows;
    if (!load.Affords(header.bytesNeeded + picture + raised))
        return false;
    std::vector<uint8_t> bytes;
    return file.Read(0, header.bytesNeeded, bytes) && ReadBmp(d, bytes.data(), bytes.size());
}

} // namespace

bool PictureLoad::Affords(uint64_t bytes) {
    const uint64_t available = AvailableMemory();
    if (bytes <= available)
        return true;
    refusal = PictureRefusal::NotEnoughMemory;
    memoryNeeded = bytes;
    memoryAvailable = available;
    return false;
}

PictureLoad OpenPicture(dib &d, const std::string &fileName) {
    deldib(d);
    PictureLoad load;
    load.refusal = PictureRefusal::Unreadable;
    RegularFile file;
    std::vector<uint8_t> head;
    if (!file.Open(fileName) || !file.Read(0, kHeadBytes, head) || head.empty())
        return load;
    try {
        bool loaded = false;
        if (head.size() >= 2 && head[0] == 'B' && head[1] == 'M') {
            loaded = LoadBmp(d, file, head, load);
        } else {
            QFile device; // read as far as the decoder needs it, never whole
            loaded =
                device.open(file.Descriptor(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle) &&
                ReadQtPicture(d, device, load);
        }
        if (loaded)
            load.refusal = PictureRefusal::None;
    } catch (const std::bad_alloc &) {
        load.refusal = PictureRefusal::NotEnoughMemory;
        load.memoryNeeded = 0;
    }
    if (load.refusal != PictureRefusal::None)
        deldib(d);
    return load;
}

void OpenDib(dib &d, const std::string &fileName, int, int) {
    OpenPicture(d, fileName);
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
