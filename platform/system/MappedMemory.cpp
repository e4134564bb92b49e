#include <platform/MappedMemory.h>

#include <sys/mman.h>

namespace platform {

void* mapBlock(size_t bytes) {
    if (bytes == 0) return nullptr;
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

void unmapBlock(void* block, size_t bytes) {
    if (block != nullptr) munmap(block, bytes);
}

}  // namespace platform
