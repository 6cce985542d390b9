// Path joining: the one place above the operating system that knows the path separator.
// Every full path of the program is a folder, one separator and one file name, and every name
// joined here must stay one file name inside its folder: a name that would reach elsewhere
// gives the empty path, which names no file, so every operation on it fails quietly.
#pragma once

#include "platform/wide_text.h"

#ifdef _WIN32
constexpr char16_t kPathSeparator = u'\\';
#else
constexpr char16_t kPathSeparator = u'/';
#endif

// Whether name is one file name of a folder: not empty, not "." or "..", and without a path
// separator ("/" everywhere, "\" on Windows too) or, on Windows, the ":" that would name a
// stream of another file or a drive.
bool IsOneFileName(WideView name) noexcept;

// folder + separator + name, or the empty path when name is not one file name. Exhausted
// memory raises CHresultException(E_OUTOFMEMORY).
WideString JoinPath(WideView folder, WideView name);
