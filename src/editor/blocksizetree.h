#pragma once
// The sizes of the store's blocks as a Fenwick tree: the sum of the first k blocks and the
// block holding a position, both in O(log n).
//
// A store starts with every block blockSize bytes long except the last, which holds the
// remainder. The tree keeps only the changes to that first layout, so a new tree is all zeros
// and needs no initialisation: the sum of the first k blocks is the layout's sum, computed,
// plus the prefix sum of the changes.

#include "editor/zeroedarray.h"

#include <algorithm>
#include <bit>
#include <cstdint>

namespace morvilo {

class BlockSizeTree {
public:
    BlockSizeTree(int64_t blocks, int64_t blockSize, int64_t initialTotal)
        : changes_(blocks), blocks_(blocks), blockSize_(blockSize), initialTotal_(initialTotal),
          topStep_(blocks > 0 ? int64_t(std::bit_floor(uint64_t(blocks))) : 0) {}

    int64_t blocks() const { return blocks_; }

    // Adds delta to the size of block index.
    void add(int64_t index, int64_t delta) {
        for (int64_t i = index + 1; i <= blocks_; i += i & -i)
            changes_[i - 1] += delta;
    }

    // The sum of the sizes of blocks 0 .. count-1.
    int64_t prefix(int64_t count) const {
        int64_t sum = initialPrefix(count);
        for (int64_t i = count; i > 0; i -= i & -i)
            sum += changes_[i - 1];
        return sum;
    }

    struct Found {
        int64_t index; // the largest count whose prefix is at most pos
        int64_t start; // that prefix
    };
    // For a position below the total: the block holding it (empty blocks are passed over) and
    // where that block starts. For a position at or beyond the total the index is blocks().
    Found find(int64_t pos) const {
        int64_t count = 0;
        int64_t changed = 0; // the changes of blocks 0 .. count-1
        for (int64_t step = topStep_; step > 0; step >>= 1) {
            const int64_t next = count + step;
            if (next > blocks_)
                continue;
            const int64_t more = changes_[next - 1]; // the changes of blocks count .. next-1
            if (initialPrefix(next) + changed + more <= pos) {
                count = next;
                changed += more;
            }
        }
        return {count, initialPrefix(count) + changed};
    }

private:
    int64_t initialPrefix(int64_t count) const {
        return std::min(count * blockSize_, initialTotal_);
    }

    ZeroedArray<int64_t> changes_;
    int64_t blocks_;
    int64_t blockSize_;
    int64_t initialTotal_;
    int64_t topStep_;
};

} // namespace morvilo
