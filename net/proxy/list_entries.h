// ForEachListEntry: the one splitter of the proxy settings' lists (no_proxy, the bypass list,
// the proxy string, PAC answers): the entries between separator units, empty ones dropped.
#pragma once

#include <algorithm>

#include "platform/wide_text.h"

// Calls take(entry) with each non-empty run of text between units of separators, in order.
template <typename Take>
void ForEachListEntry(WideView text, WideView separators, Take&& take) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find_first_of(separators, pos), text.size());
        if (end > pos) {
            take(text.substr(pos, end - pos));
        }
        pos = end + 1;
    }
}
