// CProcessHeap on Windows: the process heap. HeapReAlloc takes no null block, so a null block
// is allocated instead, as realloc does; a zero size asks for one byte on both calls so that
// the two platforms hand out the same kind of block.
#include <windows.h>

#include "platform/process_heap.h"

CProcessHeap::CProcessHeap() noexcept : handle_(GetProcessHeap()) {}

void* CProcessHeap::Allocate(std::size_t size) const noexcept {
    return HeapAlloc(handle_, 0, size == 0 ? 1 : size);
}

void* CProcessHeap::Reallocate(void* block, std::size_t size) const noexcept {
    if (block == nullptr) {
        return Allocate(size);
    }
    return HeapReAlloc(handle_, 0, block, size == 0 ? 1 : size);
}

void CProcessHeap::Free(void* block) const noexcept {
    if (block != nullptr) {
        HeapFree(handle_, 0, block);
    }
}
