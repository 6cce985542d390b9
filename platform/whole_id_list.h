// Reading a list of 32-bit identifiers whole from a call that fills a caller's buffer and tells
// how many bytes it wrote but not how many it had (EnumProcesses). A full buffer may hide a cut
// list, so the buffer doubles until the call leaves room to spare: only then is the list known
// to be whole. A list that fills even the largest buffer is refused, never taken cut short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

constexpr std::size_t kIdListFirstEntries = 1024;
constexpr std::size_t kIdListMostEntries = std::size_t{1} << 24;

// fill(buffer, bufferBytes, writtenBytes) -> bool is the call. False when it fails, when the
// list outgrows kIdListMostEntries or when memory runs out; ids is then empty.
template <typename Fill>
bool ReadWholeIdList(Fill&& fill, std::vector<std::uint32_t>& ids) noexcept {
    constexpr std::size_t kEntryBytes = sizeof(std::uint32_t);
    try {
        for (std::size_t entries = kIdListFirstEntries; entries <= kIdListMostEntries;
             entries *= 2) {
            ids.assign(entries, 0);
            const auto bytes = static_cast<std::uint32_t>(entries * kEntryBytes);
            std::uint32_t written = 0;
            if (!fill(ids.data(), bytes, written) || written > bytes) {
                break;
            }
            if (written < bytes) {
                ids.resize(written / kEntryBytes);
                return true;
            }
        }
    } catch (const std::bad_alloc&) {
    }
    ids.clear();
    return false;
}
