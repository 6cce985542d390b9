// CComInitScope on Windows: CoInitialize when made, CoUninitialize when ended, only if this
// object's own call succeeded. "Already initialised" (S_FALSE) is a success that must be
// balanced too; RPC_E_CHANGED_MODE means COM runs in the other apartment mode, usable as it is
// and not ours to end.
#include <windows.h>

#include <objbase.h>

#include "platform/com_init_scope.h"

CComInitScope::CComInitScope() noexcept {
    const HRESULT result = CoInitialize(nullptr);
    if (SUCCEEDED(result)) {
        usable_ = 1;
        mustUninitialise_ = 1;
    } else if (result == RPC_E_CHANGED_MODE) {
        usable_ = 1;
    }
}

CComInitScope::~CComInitScope() {
    if (mustUninitialise_ != 0) {
        CoUninitialize();
    }
}
