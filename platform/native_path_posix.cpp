// UTF-16 paths to the UTF-8 file names that POSIX system calls take.
#include "platform/native_path.h"

#include "platform/nameable_path.h"
#include "platform/text_conversion.h"

bool NativePathOf(WideView path, std::string& native) {
    if (!IsNameablePath(path)) {
        return false;
    }
    native = WideToNarrow(path);
    return true;
}
