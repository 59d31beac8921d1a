#pragma once
// TDynaArray: a growable array of fixed-size records in one contiguous block, with a current
// record that the array publishes into a pointer variable of its owner.
//
// Iteration, as every user writes it:
//     arr.First();
//     while (arr.WhileNext()) { use *published; }
// The loop body sees records 0 .. count-1 in order. GetObject(k) inside the loop moves the
// position (the next pass sees record k again), Add moves it to the new last record, Delete
// and Clear end the loop at the next test.
//
// Record addresses (and with them aobj and the published pointer) stay valid only until the
// next change of the block. The block grows geometrically so that filling an array of n
// records costs O(n); every record Add returns is zeroed.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>

namespace morvilo {

// Reports that a block of `bytes` bytes could not be allocated. The default prints to stderr;
// the main window replaces it with a message box.
using AllocationFailureHandler = void (*)(const std::string &message);
void SetAllocationFailureHandler(AllocationFailureHandler handler);
void ReportAllocationFailure(uint64_t bytes);

// The largest block an array may hold. A larger one is refused as if the memory had run out, so
// that a list growing without end (the plot list of an endless program) ends with the message
// above instead of the system killing the program once the memory is gone. By default three
// quarters of the physical memory; SetDynaArrayBlockLimit(bytes) sets another (tests use a
// small one), 0 restores the default.
uint64_t DynaArrayBlockLimit();
void SetDynaArrayBlockLimit(uint64_t bytes);

template <typename T> class TDynaArray {
    static_assert(std::is_trivially_copyable_v<T>, "records are copied as bytes");

public:
    // typpoi: the owner's pointer variable that receives the current record (may be null).
    explicit TDynaArray(T **typpoi = nullptr) : outeraobj(typpoi) {}
    ~TDynaArray() { std::free(poi); }
    TDynaArray(const TDynaArray &) = delete;
    TDynaArray &operator=(const TDynaArray &) = delete;

    uint32_t Count() const { return count; }
    int64_t CurrentIndex() const { return aobjnr; }
    T *Current() const { return aobj; }
    // Bytes held by the block (0 when the array holds no record).
    uint64_t MemSize() const { return uint64_t(capacity) * sizeof(T); }
    const T *Data() const { return poi; }

    // Makes record index current and returns it; out of range: null, position unchanged.
    T *GetObject(int64_t index) {
        if (index < 0 || index >= int64_t(count))
            return nullptr;
        setCurrent(index);
        return aobj;
    }
    // Plain access without moving the position.
    T &operator[](uint32_t index) { return poi[index]; }
    const T &operator[](uint32_t index) const { return poi[index]; }

    // Appends a zeroed record, makes it current and returns it; null when memory ran out
    // (the array is unchanged then).
    T *Add() {
        if (count == UINT32_MAX || !reserveFor(count + 1))
            return nullptr;
        std::memset(static_cast<void *>(poi + count), 0, sizeof(T));
        ++count;
        setCurrent(count - 1);
        return aobj;
    }

    // Removes record nr (ignored outside 0 .. count-1); afterwards there is no current record.
    void Delete(int64_t nr) {
        if (nr < 0 || nr >= int64_t(count))
            return;
        std::memmove(static_cast<void *>(poi + nr), poi + nr + 1, (count - nr - 1) * sizeof(T));
        --count;
        shrinkIfSparse();
        clearCurrent();
    }

    // Swaps two records (ignored unless both are in range); record nr2 is current afterwards.
    void Change(int64_t nr1, int64_t nr2) {
        if (nr1 < 0 || nr2 < 0 || nr1 >= int64_t(count) || nr2 >= int64_t(count))
            return;
        T temp;
        std::memcpy(static_cast<void *>(&temp), poi + nr1, sizeof(T));
        std::memcpy(static_cast<void *>(poi + nr1), poi + nr2, sizeof(T));
        std::memcpy(static_cast<void *>(poi + nr2), &temp, sizeof(T));
        setCurrent(nr2);
    }

    void Clear() {
        std::free(poi);
        poi = nullptr;
        count = 0;
        capacity = 0;
        clearCurrent();
    }

    // Empties the array but keeps its memory for the records to come (a plot list refilled
    // by every run costs no fresh pages then).
    void Truncate() {
        count = 0;
        clearCurrent();
    }

    // Makes record 0 current; on an empty array nothing happens.
    void First() {
        if (count > 0)
            setCurrent(0);
    }

    // Publishes record aobjnr and advances; false at the end or on an empty array.
    bool WhileNext() {
        if (count == 0 || aobjnr < 0 || aobjnr >= int64_t(count))
            return false;
        setCurrent(aobjnr);
        ++aobjnr;
        return true;
    }

    // Exchanges the records and blocks of two arrays; neither has a current record afterwards.
    void Swap(TDynaArray &other) {
        std::swap(poi, other.poi);
        std::swap(count, other.count);
        std::swap(capacity, other.capacity);
        clearCurrent();
        other.clearCurrent();
    }

    // Room for at least n records without further allocation.
    bool Reserve(uint32_t n) { return n <= capacity || reallocate(n); }

private:
    static constexpr uint32_t buffersize = 100; // smallest block, in records

    void setCurrent(int64_t index) {
        aobjnr = index;
        aobj = poi + index;
        if (outeraobj)
            *outeraobj = aobj;
    }
    void clearCurrent() {
        aobjnr = -1;
        aobj = nullptr;
        if (outeraobj)
            *outeraobj = nullptr;
    }

    bool reserveFor(uint32_t wanted) {
        if (wanted <= capacity)
            return true;
        uint64_t grown = capacity < buffersize ? buffersize : uint64_t(capacity) * 2;
        if (grown > UINT32_MAX)
            grown = UINT32_MAX;
        // Near the limit the block grows only as far as the limit allows.
        const uint64_t most = DynaArrayBlockLimit() / sizeof(T);
        if (grown > most && most >= wanted)
            grown = most;
        return reallocate(uint32_t(grown));
    }

    // Gives memory back once three quarters of the block are unused; the empty array holds
    // no block at all.
    void shrinkIfSparse() {
        if (count == 0) {
            std::free(poi);
            poi = nullptr;
            capacity = 0;
        } else if (capacity > buffersize && count <= capacity / 4) {
            uint32_t target = capacity / 2;
            reallocate(target < buffersize ? buffersize : target);
        }
    }

    bool reallocate(uint32_t records) {
        const uint64_t bytes = uint64_t(records) * sizeof(T);
        const int64_t currentOffset = aobj ? aobj - poi : -1;
        const bool allowed =
            bytes <= SIZE_MAX && (records <= capacity || bytes <= DynaArrayBlockLimit());
        void *block = allowed ? std::realloc(poi, size_t(bytes)) : nullptr;
        if (!block) {
            if (records > capacity)
                ReportAllocationFailure(bytes);
            return false; // a failed shrink keeps the old, larger block
        }
        poi = static_cast<T *>(block);
        capacity = records;
        if (currentOffset >= 0) { // the block moved: publish the current record's new address
            aobj = poi + currentOffset;
            if (outeraobj)
                *outeraobj = aobj;
        }
        return true;
    }

    T **outeraobj;
    T *aobj = nullptr;
    T *poi = nullptr;
    uint32_t count = 0;
    int64_t aobjnr = -1;
    uint32_t capacity = 0;
};

} // namespace morvilo
