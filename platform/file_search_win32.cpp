// CFileSearch on Windows: FindFirstFileW and FindNextFileW over folder\prefix*, read to the
// end before the first name is handed out. The system's pattern rules apply: letter case is
// ignored, and a pattern ending in ".*" also matches the name without its dot. Names stay
// UTF-16 as the system gives them.
#include <windows.h>

#include <cwchar>
#include <memory>
#include <new>

#include "platform/file_search.h"
#include "platform/hresult_exception.h"
#include "platform/nameable_path.h"
#include "platform/path_join.h"
#include "platform/wide_call_text.h"

namespace {

struct CFindCloser {
    void operator()(HANDLE search) const { FindClose(search); }
};

}  // namespace

bool CFileSearch::First(WideView folder, WideView prefix, WideString& name) try {
    names_.clear();
    next_ = 0;
    const WideString start = JoinPath(folder, prefix);
    WideString pattern;
    if (start.empty() || !TerminatedPathOf(start + u'*', pattern)) {
        return false;
    }
    WIN32_FIND_DATAW found;
    const HANDLE first = FindFirstFileW(ToWideCall(pattern.c_str()), &found);
    if (first == INVALID_HANDLE_VALUE) {
        return false;
    }
    const std::unique_ptr<void, CFindCloser> search(first);
    do {
        names_.emplace_back(FromWideCall(found.cFileName), std::wcslen(found.cFileName));
    } while (FindNextFileW(search.get(), &found));
    if (GetLastError() != ERROR_NO_MORE_FILES) {
        names_.clear();
    }
    return Next(name);
} catch (const std::bad_alloc&) {
    throw CHresultException(E_OUTOFMEMORY);
}
