// A C stream on a file named by its UTF-16 path, for code that works through stdio (the
// archive writer). The path reaches the system in the platform's own spelling: UTF-8 bytes on
// POSIX, UTF-16 all the way on Windows, so a name that the ANSI code page cannot hold still
// opens the very file it names.
#pragma once

#include <cstdio>

#include "platform/wide_text.h"

// fopen's modes ("rb", "wb", "r+b"). Null when the file cannot be opened, the path cannot be
// named (an embedded zero) or memory runs out: it never throws, so C code may call it. On
// Windows nobody else may open the file while the stream is open, as for every other file
// the program works on.
std::FILE* OpenFileStream(WideView path, const char* mode) noexcept;
