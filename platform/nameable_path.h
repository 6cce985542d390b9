// Whether a UTF-16 path can be handed to the system at all. The system calls take terminated
// text, so an embedded zero would silently cut the path short and name another file; such a
// path, and the empty one, are refused before any call.
#pragma once

#include "platform/wide_text.h"

inline bool IsNameablePath(WideView path) noexcept {
    return !path.empty() && path.find(u'\0') == WideView::npos;
}
