// UTF-16 paths to the byte names that POSIX system calls take, without loss.
#include "platform/native_path.h"

#include "platform/file_name_text.h"
#include "platform/nameable_path.h"

bool NativePathOf(WideView path, std::string& native) {
    if (!IsNameablePath(path)) {
        return false;
    }
    return FileNameToNarrow(path, native);
}
