// CHresultException: the text that names the carried code for diagnostics in a debugger.
#include "platform/hresult_exception.h"

const char* CHresultException::what() const noexcept {
    switch (code_) {
        case E_OUTOFMEMORY:
            return "E_OUTOFMEMORY";
        case E_INVALIDARG:
            return "E_INVALIDARG";
        case E_FAIL:
            return "E_FAIL";
        default:
            return "HRESULT failure";
    }
}
