// OpenFileStream on Windows: _wfsopen with the wide path and no sharing (_SH_DENYRW).
#include <share.h>
#include <wchar.h>

#include <string>

#include "platform/file_stream.h"

std::FILE* OpenFileStream(WideView path, const char* mode) noexcept try {
    if (path.empty() || path.find(u'\0') != WideView::npos) {
        return nullptr;
    }
    const std::wstring widePath(path.begin(), path.end());
    const std::string narrowMode(mode);
    const std::wstring wideMode(narrowMode.begin(), narrowMode.end());
    return _wfsopen(widePath.c_str(), wideMode.c_str(), _SH_DENYRW);
} catch (...) {
    return nullptr;
}
