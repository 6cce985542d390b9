// The POSIX spelling of a UTF-16 path: the bytes its system calls take, converted without loss
// (file_name_text.h). Windows has no such step: there paths stay UTF-16 all the way to the wide
// system calls.
#pragma once

#include <string>

#include "platform/wide_text.h"

// False for a path the platform cannot name: an embedded zero would silently cut the path
// short at the system call, and an unpaired surrogate that stands for no byte would name
// another file, so both are refused instead.
bool NativePathOf(WideView path, std::string& native);
