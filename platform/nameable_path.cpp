// The nameable-path rule and the terminated copy of a path for the wide system calls.
#include "platform/nameable_path.h"

#include <new>

#include "platform/hresult_exception.h"

bool TerminatedPathOf(WideView path, WideString& terminated) try {
    if (!IsNameablePath(path)) {
        return false;
    }
    terminated.assign(path);
    return true;
} catch (const std::bad_alloc&) {
    throw CHresultException(E_OUTOFMEMORY);
}
