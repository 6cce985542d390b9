// The POSIX spelling of a UTF-16 path: the UTF-8 bytes its system calls take. Windows has no
// such step: there paths stay UTF-16 all the way to the wide system calls.
#pragma once

#include <string>

#include "platform/wide_text.h"

// False for a path the platform cannot name: an embedded zero would silently cut the path
// short at the system call, so it is refused instead.
bool NativePathOf(WideView path, std::string& native);
