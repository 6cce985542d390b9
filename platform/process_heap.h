// CProcessHeap: the heap the HTTP client's response storage lives on. On Windows it is the
// process heap, whose handle is taken once when the object is made (HeapAlloc, HeapReAlloc and
// HeapFree, no flags); on POSIX it is the C library's heap, with blocks of 4 MiB and up in
// huge-page mappings of their own (process_heap_posix.cpp). A refused block is a null pointer,
// never an exception, and a refused resize leaves the old block as it was.
#pragma once

#include <cstddef>

class CProcessHeap {
public:
    CProcessHeap() noexcept;

    // A block of size bytes (at least one), content undefined.
    void* Allocate(std::size_t size) const noexcept;
    // block resized to size bytes (at least one), content kept up to the smaller size; the
    // block may move. A null block is allocated afresh.
    void* Reallocate(void* block, std::size_t size) const noexcept;
    // Gives block back; a null block is ignored.
    void Free(void* block) const noexcept;

private:
#ifdef _WIN32
    void* handle_;
#endif
};
