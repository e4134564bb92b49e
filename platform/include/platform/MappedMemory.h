// Large blocks taken from the system on their own (anonymous mappings) and
// given back to it whole when freed. Decoders keep their big buffers here
// so that none of them passes through the allocator: freed, they leave the
// process at once instead of staying resident in a thread's heap, and the
// allocator's own thresholds stay as the rest of the process has them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace platform {

// A zeroed block of at least `bytes` bytes, page-aligned; nullptr when the
// system refuses it or `bytes` is 0.
void* mapBlock(size_t bytes);
// Gives back a block that mapBlock(bytes) returned (nullptr: nothing).
void unmapBlock(void* block, size_t bytes);

// One mapped block that goes with its owner.
class MappedBlock {
public:
    MappedBlock() = default;
    explicit MappedBlock(size_t bytes) : data_(mapBlock(bytes)), bytes_(data_ ? bytes : 0) {}
    MappedBlock(MappedBlock&& other) noexcept : data_(other.data_), bytes_(other.bytes_) {
        other.data_ = nullptr;
        other.bytes_ = 0;
    }
    MappedBlock& operator=(MappedBlock&& other) noexcept {
        if (this != &other) {
            unmapBlock(data_, bytes_);
            data_ = other.data_;
            bytes_ = other.bytes_;
            other.data_ = nullptr;
            other.bytes_ = 0;
        }
        return *this;
    }
    MappedBlock(const MappedBlock&) = delete;
    MappedBlock& operator=(const MappedBlock&) = delete;
    ~MappedBlock() { unmapBlock(data_, bytes_); }

    void* data() const { return data_; }
    size_t size() const { return bytes_; }
    explicit operator bool() const { return data_ != nullptr; }

private:
    void* data_ = nullptr;
    size_t bytes_ = 0;
};

// An allocator whose every block is mapped on its own, for a decoder's
// large vectors (a canvas, decoded lines).
template <class T>
struct MappedAllocator {
    using value_type = T;
    MappedAllocator() = default;
    template <class U>
    MappedAllocator(const MappedAllocator<U>&) {}
    T* allocate(size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
        void* block = mapBlock(n * sizeof(T));
        if (block == nullptr) throw std::bad_alloc();
        return static_cast<T*>(block);
    }
    void deallocate(T* block, size_t n) { unmapBlock(block, n * sizeof(T)); }
    template <class U>
    bool operator==(const MappedAllocator<U>&) const { return true; }
};
template <class T>
using MappedVector = std::vector<T, MappedAllocator<T>>;

}  // namespace platform
