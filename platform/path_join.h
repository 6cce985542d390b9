// Path joining: the one place above the operating system that knows the path separator.
// Every full path of the program is a folder, one separator and a name.
#pragma once

#include "platform/wide_text.h"

#ifdef _WIN32
constexpr char16_t kPathSeparator = u'\\';
#else
constexpr char16_t kPathSeparator = u'/';
#endif

// folder + separator + name. Exhausted memory raises CHresultException(E_OUTOFMEMORY).
WideString JoinPath(WideView folder, WideView name);
