// Path joining with the platform's separator, refusing names that are not one file name.
#include "platform/path_join.h"

#include <new>

#include "platform/hresult_exception.h"

namespace {

#ifdef _WIN32
constexpr WideView kNameBreakers = u"/\\:";
#else
constexpr WideView kNameBreakers = u"/";
#endif

}  // namespace

bool IsOneFileName(WideView name) noexcept {
    return !name.empty() && name != u"." && name != u".." &&
           name.find_first_of(kNameBreakers) == WideView::npos;
}

WideString JoinPath(WideView folder, WideView name) try {
    WideString path;
    if (!IsOneFileName(name)) {
        return path;
    }
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder);
    path += kPathSeparator;
    path.append(name);
    return path;
} catch (const std::bad_alloc&) {
    throw CHresultException(E_OUTOFMEMORY);
}
