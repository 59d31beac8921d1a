#pragma once
// TMemory: the editor's text store, built for very large generated programs.
//
// The text is a list of blocks. Opening a file reads nothing but its length: a freshly
// opened file is cut into 4096-byte blocks that stay in the file (non-resident) until one of
// them is changed; only then is the block read and kept in memory. Blocks are never split,
// merged or removed: a block that becomes empty stays with realsize 0, and insertions grow
// one block without limit. Bytes are bytes: any value, 0 included, no conversion.
//
// Positions are 64-bit. Finding the block of a position costs O(log n) (sequential access
// is O(1) through a cursor); a non-resident block costs a few bytes of memory and is read
// with pread from the document's file.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace morvilo {

// A failed read of the document's file. The operation in progress is aborted; what was
// already done stays.
class TextStoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TMemory {
public:
    static constexpr int64_t dividesize = 4096; // block size of a freshly opened file

    // A store for a text of thesize bytes. setted: the blocks hold their bytes already (an
    // empty new document); otherwise they are the bytes of fileDescriptor (not owned; must
    // stay open while the store lives) at offset index * 4096.
    TMemory(int64_t thesize, bool setted, int fileDescriptor = -1);
    ~TMemory();
    TMemory(const TMemory &) = delete;
    TMemory &operator=(const TMemory &) = delete;

    int64_t size() const;
    // Changes with every change of the text (edits, and a file found shorter), so that
    // readers can tell whether what they copied out is still current.
    uint64_t Generation() const;

    // A copy of the bytes pos .. pos+len-1, valid until FreeLastGettedData or the next
    // getdata; null for len <= 0. Bytes outside the text are 0. Reading never makes a block
    // resident.
    const uint8_t *getdata(int64_t pos, int64_t len);
    void FreeLastGettedData();
    // Copies up to len bytes from pos into dest; returns how many there were (fewer at the end
    // of the text, 0 for a negative pos). The streaming form of getdata for line reading,
    // search and saving.
    int64_t CopyOut(int64_t pos, int64_t len, uint8_t *dest);

    // The changes touch only bytes that exist and do nothing for a negative pos or a len <= 0.
    // Each may read the block it changes from the file: a read error throws TextStoreError,
    // and what was done before it stays done.

    // Overwrites len bytes from pos; size() does not change. Bytes that would lie at or
    // beyond the end are not written.
    void setdata(int64_t pos, int64_t len, const uint8_t *poi);
    // Inserts len bytes before pos (pos = size() appends, and so does any pos beyond it).
    void insertdata(int64_t pos, int64_t len, const uint8_t *poi);
    // Removes len bytes from pos on, as many as there are.
    void deletedata(int64_t pos, int64_t len);

    // The line feeds before pos (clamped to 0 ... size()): the 0-based line of the file pos lies
    // in. Each block's count is kept until the block changes, so the count near the last one
    // costs little; uncounted blocks are read, at most budget bytes of them in one call. None
    // when more would be needed: a later call goes on where this one stopped.
    std::optional<int64_t> LinesBefore(int64_t pos, int64_t budget = INT64_MAX);

    // What the blocks look like, for tests and diagnostics.
    struct BlockInfo {
        int64_t realsize;
        bool alsetted;
    };
    int64_t numbufs() const;
    BlockInfo block(int64_t index) const;

    // Called once when the file turned out shorter than when it was opened (another program
    // changed it); the missing bytes are treated as absent and size() shrinks accordingly.
    void SetShrinkHandler(std::function<void(const std::string &)> handler);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace morvilo
