// OpenFileStream on POSIX: fopen of the UTF-8 name.
#include <string>

#include "platform/file_stream.h"
#include "platform/native_path.h"

std::FILE* OpenFileStream(WideView path, const char* mode) noexcept try {
    std::string native;
    if (!NativePathOf(path, native)) {
        return nullptr;
    }
    return std::fopen(native.c_str(), mode);
} catch (...) {
    return nullptr;
}
