#pragma once
// A fixed-length array whose elements start as zero bytes, with memory taken from calloc.
// For large lengths the C library maps fresh pages that the kernel zeroes on first touch, so
// creating an array costs neither time nor resident memory for the parts that are never
// written: the store keeps its per-block tables in these and opens any file at once.

#include <cstdint>
#include <cstdlib>
#include <new>
#include <type_traits>

namespace morvilo {

template <typename T> class ZeroedArray {
    static_assert(std::is_trivial_v<T>, "elements must be valid as all-zero bytes");

public:
    explicit ZeroedArray(int64_t length) : length_(length) {
        data_ = static_cast<T *>(std::calloc(size_t(length > 0 ? length : 1), sizeof(T)));
        if (data_ == nullptr)
            throw std::bad_alloc();
    }
    ~ZeroedArray() { std::free(data_); }
    ZeroedArray(const ZeroedArray &) = delete;
    ZeroedArray &operator=(const ZeroedArray &) = delete;

    int64_t length() const { return length_; }
    T &operator[](int64_t i) { return data_[i]; }
    const T &operator[](int64_t i) const { return data_[i]; }

private:
    T *data_ = nullptr;
    int64_t length_ = 0;
};

} // namespace morvilo
