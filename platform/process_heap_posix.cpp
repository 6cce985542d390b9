// CProcessHeap on POSIX: the C library's heap. A zero size asks for one byte, since malloc
// and realloc may answer a zero size with a null pointer that would read as a refusal.
#include "platform/process_heap.h"

#include <cstdlib>

CProcessHeap::CProcessHeap() noexcept = default;

void* CProcessHeap::Allocate(std::size_t size) const noexcept {
    return std::malloc(size == 0 ? 1 : size);
}

void* CProcessHeap::Reallocate(void* block, std::size_t size) const noexcept {
    return std::realloc(block, size == 0 ? 1 : size);
}

void CProcessHeap::Free(void* block) const noexcept {
    std::free(block);
}
