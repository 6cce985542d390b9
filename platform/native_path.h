// The platform's own spelling of a UTF-16 path: UTF-8 bytes on POSIX.
#pragma once

#include <string>

#include "platform/wide_text.h"

// False for a path the platform cannot name: an embedded zero would silently cut the path
// short at the system call, so it is refused instead.
bool NativePathOf(WideView path, std::string& native);
