// OpenFileStream on Windows: _wfsopen with the UTF-16 path as it is and no sharing
// (_SH_DENYRW).
#include <share.h>
#include <wchar.h>

#include <string>

#include "platform/file_stream.h"
#include "platform/nameable_path.h"
#include "platform/wide_call_text.h"

std::FILE* OpenFileStream(WideView path, const char* mode) noexcept try {
    WideString terminated;
    if (!TerminatedPathOf(path, terminated)) {
        return nullptr;
    }
    const std::string narrowMode(mode);
    const std::wstring wideMode(narrowMode.begin(), narrowMode.end());
    return _wfsopen(ToWideCall(terminated.c_str()), wideMode.c_str(), _SH_DENYRW);
} catch (...) {
    return nullptr;
}
