#include "editor/tmemory.h"

#include "editor/blockbuffer.h"
#include "editor/blocksizetree.h"
#include "editor/zeroedarray.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace morvilo {

namespace {

// How many blocks the cursor walks forward before a search in the tree is cheaper.
constexpr int kCursorSteps = 4;

// Per-block state, four bytes per block and all zero for a freshly opened file:
//   0                    not resident, the size it was opened with
//   kResident | slot     resident, bytes in Impl::resident[slot]
//   realsize + 1         not resident, shrunk to realsize (its whole content deleted, or the
//                        file turned out shorter)
constexpr uint32_t kFresh = 0;
constexpr uint32_t kResident = 0x80000000u;

constexpr uint32_t shrunkTo(int64_t realsize) {
    return uint32_t(realsize + 1);
}

std::string systemError(const char *what) {
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

struct TMemory::Impl {
    Impl(int64_t thesize, int fileDescriptor)
        : fd(fileDescriptor), total(thesize), initialTotal(thesize),
          numbufs(std::max<int64_t>(1, thesize / dividesize + (thesize % dividesize != 0))),
          sizes(numbufs, dividesize, thesize), state(numbufs) {}

    int fd;
    int64_t total;           // size(): the sum of all realsizes
    uint64_t generation = 0; // counts the changes of the text
    int64_t initialTotal;    // the size the store was created with
    int64_t numbufs;
    BlockSizeTree sizes;
    ZeroedArray<uint32_t> state;
    std::vector<BlockBuffer> resident; // the bytes of resident blocks, in the order they became so
    std::vector<uint8_t> lastgetted;
    uint8_t scratch[dividesize]; // a block on its way from the file into memory
    std::function<void(const std::string &)> shrinkHandler;
    bool shrinkReported = false;

    // The block last found and where it starts, for sequential access. Valid as long as no
    // block before it changes size.
    int64_t cursorBlock = -1;
    int64_t cursorStart = 0;

    bool isResident(int64_t b) const { return (state[b] & kResident) != 0; }
    BlockBuffer &buffer(int64_t b) { return resident[state[b] & ~kResident]; }
    const BlockBuffer &buffer(int64_t b) const { return resident[state[b] & ~kResident]; }

    int64_t initialSize(int64_t b) const {
        return std::clamp<int64_t>(initialTotal - b * dividesize, 0, dividesize);
    }

    int64_t realsize(int64_t b) const {
        const uint32_t s = state[b];
        if (s == kFresh)
            return initialSize(b);
        if (s & kResident)
            return buffer(b).size();
        return int64_t(s) - 1;
    }

    // The line feeds of each block once counted (-1: not yet, or changed since), and the line
    // feeds of the blocks before linesBlock, for the next count near the last.
    std::vector<int64_t> blockLines;
    int64_t linesBlock = 0, linesBefore = 0;

    // Records that the bytes of block b changed.
    void touched(int64_t b) {
        if (blockLines.empty())
            return;
        blockLines[size_t(b)] = -1;
        if (linesBlock > b)
            linesBlock = linesBefore = 0;
    }

    // Records that block b changed size by delta.
    void resized(int64_t b, int64_t delta) {
        touched(b);
        sizes.add(b, delta);
        total += delta;
        if (cursorBlock > b)
            cursorBlock = -1;
    }

    struct Place {
        int64_t block;
        int64_t start;
    };

    // The block holding pos, 0 <= pos < total.
    Place locate(int64_t pos) {
        if (cursorBlock >= 0 && pos >= cursorStart) {
            int64_t b = cursorBlock, start = cursorStart;
            for (int step = 0; step < kCursorSteps && b < numbufs; ++step) {
                const int64_t r = realsize(b);
                if (pos < start + r) {
                    cursorBlock = b;
                    cursorStart = start;
                    return {b, start};
                }
                start += r;
                ++b;
            }
        }
        const BlockSizeTree::Found found = sizes.find(pos);
        cursorBlock = found.index;
        cursorStart = found.start;
        return {found.index, found.start};
    }

    // Reads len bytes of the file from offset. Returns false when the file ended first: the
    // blocks are then cut to what the file holds and the caller must find its place again.
    bool readFile(int64_t offset, int64_t len, uint8_t *dest) {
        int64_t got = 0;
        while (got < len) {
            const ssize_t n = ::pread(fd, dest + got, size_t(len - got), off_t(offset + got));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                throw TextStoreError(systemError("The document's file could not be read"));
            }
            if (n == 0) {
                fileEndsBy(offset + got);
                return false;
            }
            got += n;
        }
        return true;
    }

    // The file ended at offset seenEnd while a read expected more. Every non-resident block
    // keeps only the bytes the file still holds; later reads find them where they were.
    void fileEndsBy(int64_t seenEnd) {
        ++generation;
        struct stat st {};
        if (::fstat(fd, &st) != 0)
            throw TextStoreError(systemError("The document's file could not be read"));
        const int64_t end = std::min<int64_t>(seenEnd, st.st_size);
        bool cut = false;
        for (int64_t b = end / dividesize; b < numbufs; ++b) {
            if (isResident(b))
                continue;
            const int64_t r = realsize(b);
            const int64_t holds = std::clamp<int64_t>(end - b * dividesize, 0, r);
            if (holds < r) {
                state[b] = shrunkTo(holds);
                resized(b, holds - r);
                cut = true;
            }
        }
        if (!cut) // cannot happen: the read that came up short lies in a block cut here
            throw TextStoreError("The document's file changed while it was read.");
        if (!shrinkReported) {
            shrinkReported = true;
            if (shrinkHandler)
                shrinkHandler("The document's file is shorter than when it was opened; the "
                              "text ends where the file ends now.");
        }
    }

    // Reads block b into memory unless it is there already. False when the file turned out
    // shorter (see readFile).
    bool makeResident(int64_t b) {
        if (isResident(b))
            return true;
        const int64_t r = realsize(b); // at most dividesize: unchanged blocks never grow
        if (r > 0 && !readFile(b * dividesize, r, scratch))
            return false;
        BlockBuffer bytes;
        bytes.insert(0, r, scratch);
        if (resident.size() >= kResident)
            throw TextStoreError("Too many changed blocks in one document.");
        state[b] = kResident | uint32_t(resident.size());
        resident.push_back(std::move(bytes));
        return true;
    }

    // Copies len bytes from pos, pos + len <= total. False when the file turned out shorter;
    // the blocks then changed and the copy must start again.
    bool tryCopy(int64_t pos, int64_t len, uint8_t *dest) {
        auto [b, start] = locate(pos);
        int64_t done = 0;
        while (done < len) {
            const int64_t r = realsize(b);
            const int64_t offset = pos + done - start;
            if (offset >= r) {
                start += r;
                ++b;
                continue;
            }
            int64_t piece = std::min(len - done, r - offset);
            if (isResident(b)) {
                buffer(b).copyOut(offset, piece, dest + done);
            } else {
                // The blocks after a full unchanged one continue it in the file while they
                // are unchanged too: one read serves them all.
                const int64_t first = b;
                while (done + piece < len && b + 1 < numbufs && realsize(b) == dividesize &&
                       !isResident(b + 1) && realsize(b + 1) > 0) {
                    start += dividesize;
                    ++b;
                    piece += std::min(len - done - piece, realsize(b));
                }
                if (!readFile(first * dividesize + offset, piece, dest + done))
                    return false;
            }
            done += piece;
        }
        cursorBlock = b;
        cursorStart = start;
        return true;
    }
};

TMemory::TMemory(int64_t thesize, bool setted, int fileDescriptor)
    : d(std::make_unique<Impl>(std::max<int64_t>(thesize, 0), fileDescriptor)) {
    if (!setted)
        return;
    // A new document: every block holds its bytes already (zeros; in practice there is one
    // empty block).
    std::memset(d->scratch, 0, sizeof d->scratch);
    d->resident.reserve(size_t(d->numbufs));
    for (int64_t b = 0; b < d->numbufs; ++b) {
        BlockBuffer bytes;
        bytes.insert(0, d->initialSize(b), d->scratch);
        d->state[b] = kResident | uint32_t(b);
        d->resident.push_back(std::move(bytes));
    }
}

TMemory::~TMemory() = default;

uint64_t TMemory::Generation() const {
    return d->generation;
}

int64_t TMemory::size() const {
    return d->total;
}

const uint8_t *TMemory::getdata(int64_t pos, int64_t len) {
    if (len <= 0) {
        FreeLastGettedData();
        return nullptr;
    }
    d->lastgetted.assign(size_t(len), 0);
    CopyOut(pos, len, d->lastgetted.data());
    return d->lastgetted.data();
}

void TMemory::FreeLastGettedData() {
    d->lastgetted.clear();
    d->lastgetted.shrink_to_fit();
}

int64_t TMemory::CopyOut(int64_t pos, int64_t len, uint8_t *dest) {
    if (pos < 0 || len <= 0 || dest == nullptr)
        return 0;
    for (;;) {
        const int64_t n = pos < d->total ? std::min(len, d->total - pos) : 0;
        if (n == 0 || d->tryCopy(pos, n, dest))
            return n;
    }
}

void TMemory::setdata(int64_t pos, int64_t len, const uint8_t *poi) {
    ++d->generation;
    if (pos < 0 || len <= 0 || poi == nullptr)
        return;
    int64_t done = 0;
    while (done < len && pos + done < d->total) {
        const auto [b, start] = d->locate(pos + done);
        if (!d->makeResident(b))
            continue;
        const int64_t offset = pos + done - start;
        const int64_t piece = std::min(len - done, d->realsize(b) - offset);
        d->buffer(b).overwrite(offset, piece, poi + done);
        d->touched(b);
        done += piece;
    }
}

void TMemory::insertdata(int64_t pos, int64_t len, const uint8_t *poi) {
    ++d->generation;
    if (pos < 0 || len <= 0 || poi == nullptr)
        return;
    for (;;) {
        int64_t b, offset;
        if (pos < d->total) {
            const auto [block, start] = d->locate(pos);
            b = block;
            offset = pos - start;
        } else { // appending, or no block holds pos: the last block grows
            b = d->numbufs - 1;
            offset = d->realsize(b);
        }
        if (!d->makeResident(b))
            continue;
        d->buffer(b).insert(offset, len, poi);
        d->resized(b, len);
        return;
    }
}

void TMemory::deletedata(int64_t pos, int64_t len) {
    ++d->generation;
    if (pos < 0 || len <= 0)
        return;
    int64_t left = len;
    while (left > 0 && pos < d->total) {
        const auto [b, start] = d->locate(pos);
        const int64_t r = d->realsize(b);
        const int64_t offset = pos - start;
        const int64_t take = std::min(left, r - offset);
        if (offset == 0 && take == r) {
            // The block's whole content: nothing to read, nothing to keep.
            if (d->isResident(b))
                d->buffer(b).release();
            else
                d->state[b] = shrunkTo(0);
        } else {
            if (!d->makeResident(b))
                continue;
            d->buffer(b).erase(offset, take);
        }
        d->resized(b, -take);
        left -= take;
    }
}

std::optional<int64_t> TMemory::LinesBefore(int64_t pos, int64_t budget) {
    pos = std::clamp<int64_t>(pos, 0, d->total);
    if (d->blockLines.empty())
        d->blockLines.assign(size_t(d->numbufs), -1);
    // The line feeds among n bytes from from on.
    std::vector<uint8_t> chunk;
    const auto count = [&](int64_t from, int64_t n) {
        int64_t lines = 0;
        chunk.resize(size_t(std::min<int64_t>(n, 1 << 20)));
        for (int64_t done = 0; done < n;) {
            const int64_t got =
                CopyOut(from + done, std::min<int64_t>(n - done, chunk.size()), chunk.data());
            if (got <= 0)
                break;
            lines += std::count(chunk.begin(), chunk.begin() + got, uint8_t('\n'));
            done += got;
        }
        return lines;
    };
    const Impl::Place place =
        pos < d->total ? d->locate(pos)
                       : Impl::Place{d->numbufs - 1, d->total - d->realsize(d->numbufs - 1)};
    int64_t b = 0, lines = 0, start = 0;
    if (d->linesBlock <= place.block) {
        b = d->linesBlock;
        lines = d->linesBefore;
        start = d->sizes.prefix(b);
    }
    for (; b < place.block; ++b) {
        const int64_t r = d->realsize(b);
        int64_t &known = d->blockLines[size_t(b)];
        if (known < 0) {
            if (r > budget)
                return std::nullopt;
            budget -= r;
            known = count(start, r);
        }
        lines += known;
        start += r;
        d->linesBlock = b + 1;
        d->linesBefore = lines;
    }
    return lines + count(place.start, pos - place.start);
}

int64_t TMemory::numbufs() const {
    return d->numbufs;
}

TMemory::BlockInfo TMemory::block(int64_t index) const {
    if (index < 0 || index >= d->numbufs)
        throw std::out_of_range("TMemory::block: no block " + std::to_string(index));
    return {d->realsize(index), d->isResident(index)};
}

void TMemory::SetShrinkHandler(std::function<void(const std::string &)> handler) {
    d->shrinkHandler = std::move(handler);
}

} // namespace morvilo
