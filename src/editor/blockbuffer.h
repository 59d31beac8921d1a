#pragma once
// The memory of one resident block.
//
// Blocks are never split, so one block can grow far beyond 4096 bytes: a large paste into a
// new document puts the whole paste into its only block. To keep every keystroke cheap
// whatever the block's size, the bytes are kept in pieces of at most kPieceMax bytes; a change
// moves bytes only inside one piece, and finding the piece is a walk over the piece sizes
// (from the piece last used, for sequential access). The pieces are invisible from outside:
// the block is one run of bytes.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace morvilo {

class BlockBuffer {
public:
    static constexpr int64_t kPieceMax = 64 * 1024;

    int64_t size() const { return size_; }

    // Frees the memory; the buffer is then empty.
    void release() {
        std::vector<Piece>().swap(pieces_);
        size_ = 0;
        forget();
    }

    void copyOut(int64_t offset, int64_t length, uint8_t *dest) const {
        auto [p, start] = find(offset);
        for (int64_t done = 0; done < length; ++p, start = offset + done) {
            const Piece &piece = pieces_[size_t(p)];
            const int64_t from = offset + done - start;
            const int64_t n = std::min(length - done, int64_t(piece.size()) - from);
            std::memcpy(dest + done, piece.data() + from, size_t(n));
            done += n;
            remember(p, start);
        }
    }

    void overwrite(int64_t offset, int64_t length, const uint8_t *src) {
        auto [p, start] = find(offset);
        for (int64_t done = 0; done < length; ++p, start = offset + done) {
            Piece &piece = pieces_[size_t(p)];
            const int64_t from = offset + done - start;
            const int64_t n = std::min(length - done, int64_t(piece.size()) - from);
            std::memcpy(piece.data() + from, src + done, size_t(n));
            done += n;
            remember(p, start);
        }
    }

    // Inserts length bytes before offset (offset = size() appends).
    void insert(int64_t offset, int64_t length, const uint8_t *src) {
        if (length <= 0)
            return;
        if (pieces_.empty())
            pieces_.emplace_back();
        // At a boundary between pieces the bytes go to the end of the earlier piece.
        auto [p, start] = offset == 0 ? Place{0, 0} : find(offset - 1);
        int64_t at = offset - start;
        if (int64_t(pieces_[size_t(p)].size()) + length > kPieceMax) {
            if (length <= kPieceMax / 2) {
                // Halve the full piece; either half has room for the new bytes.
                Piece &full = pieces_[size_t(p)];
                const int64_t half = int64_t(full.size()) / 2;
                Piece upper(full.begin() + half, full.end());
                full.resize(size_t(half));
                pieces_.insert(pieces_.begin() + p + 1, std::move(upper));
                if (at > half) {
                    ++p;
                    at -= half;
                }
            } else {
                // Cut the piece at offset and put the new bytes in pieces of their own, each
                // half full so that typing into them does not cut them again at once.
                Piece &cut = pieces_[size_t(p)];
                std::vector<Piece> added;
                for (int64_t done = 0; done < length; done += kPieceMax / 2)
                    added.emplace_back(src + done, src + std::min(length, done + kPieceMax / 2));
                added.emplace_back(cut.begin() + at, cut.end());
                cut.resize(size_t(at));
                pieces_.insert(pieces_.begin() + p + 1, std::make_move_iterator(added.begin()),
                               std::make_move_iterator(added.end()));
                const auto last = pieces_.begin() + p + 1 + int64_t(added.size());
                pieces_.erase(std::remove_if(pieces_.begin() + p, last, isEmpty), last);
                size_ += length;
                forget();
                return;
            }
            forget();
        }
        Piece &piece = pieces_[size_t(p)];
        piece.insert(piece.begin() + at, src, src + length);
        size_ += length;
        if (cursorPiece_ > p)
            forget();
    }

    void erase(int64_t offset, int64_t length) {
        if (length <= 0)
            return;
        auto [p, start] = find(offset);
        const int64_t first = p;
        int64_t at = offset - start;
        for (int64_t left = length; left > 0; ++p, at = 0) {
            Piece &piece = pieces_[size_t(p)];
            const int64_t n = std::min(left, int64_t(piece.size()) - at);
            piece.erase(piece.begin() + at, piece.begin() + at + n);
            left -= n;
        }
        size_ -= length;
        // Drop the pieces that became empty, and join the piece at the cut with the one
        // before it when both fit in half a piece, so that deletions do not leave splinters.
        const auto touched = pieces_.begin() + p;
        pieces_.erase(std::remove_if(pieces_.begin() + first, touched, isEmpty), touched);
        if (first > 0 && size_t(first) < pieces_.size() &&
            int64_t(pieces_[size_t(first - 1)].size() + pieces_[size_t(first)].size()) <=
                kPieceMax / 2) {
            Piece &before = pieces_[size_t(first - 1)];
            before.insert(before.end(), pieces_[size_t(first)].begin(),
                          pieces_[size_t(first)].end());
            pieces_.erase(pieces_.begin() + first);
        }
        forget();
    }

private:
    using Piece = std::vector<uint8_t>;
    struct Place {
        int64_t piece;
        int64_t start;
    };

    static bool isEmpty(const Piece &piece) { return piece.empty(); }

    // The piece holding offset, 0 <= offset < size(), and where it starts.
    Place find(int64_t offset) const {
        int64_t p = 0, start = 0;
        if (cursorPiece_ >= 0 && offset >= cursorStart_) {
            p = cursorPiece_;
            start = cursorStart_;
        }
        while (offset >= start + int64_t(pieces_[size_t(p)].size()))
            start += int64_t(pieces_[size_t(p++)].size());
        remember(p, start);
        return {p, start};
    }

    void remember(int64_t piece, int64_t start) const {
        cursorPiece_ = piece;
        cursorStart_ = start;
    }
    void forget() const { cursorPiece_ = -1; }

    std::vector<Piece> pieces_;
    int64_t size_ = 0;
    mutable int64_t cursorPiece_ = -1; // the piece last used and where it starts
    mutable int64_t cursorStart_ = 0;
};

} // namespace morvilo
