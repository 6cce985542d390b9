// Whether a UTF-16 path can be handed to the system at all. The system calls take terminated
// text, so an embedded zero would silently cut the path short and name another file; such a
// path, and the empty one, are refused before any call.
#pragma once

#include "platform/wide_text.h"

inline bool IsNameablePath(WideView path) noexcept {
    return !path.empty() && path.find(u'\0') == WideView::npos;
}

// The path as terminated text, the form the wide system calls take; false for a path that is
// not nameable. Exhausted memory raises CHresultException(E_OUTOFMEMORY).
bool TerminatedPathOf(WideView path, WideString& terminated);
