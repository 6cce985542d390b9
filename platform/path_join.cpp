// Path joining with the platform's separator.
#include "platform/path_join.h"

#include <new>

#include "platform/hresult_exception.h"

WideString JoinPath(WideView folder, WideView name) try {
    WideString path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder);
    path += kPathSeparator;
    path.append(name);
    return path;
} catch (const std::bad_alloc&) {
    throw CHresultException(E_OUTOFMEMORY);
}
