// The zone check on Windows: the system's URL security manager gives the credentials policy
// of the URL's zone (URLACTION_CREDENTIALS_USE, without any user interface). COM is
// initialised for the length of the call only, and the manager is released before COM is left
// on every way out. A manager that cannot be made, or a URL it cannot place, gives no policy.
#include <windows.h>

#include <urlmon.h>

#include <memory>

#include "platform/com_init_scope.h"
#include "platform/wide_call_text.h"
#include "platform/zone_policy.h"

namespace {

struct CInterfaceRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};

// The value the policy starts from, so that a call that writes nothing is never read as
// silent logon.
constexpr DWORD kUnsetPolicy = 0xFFFF;

}  // namespace

bool QueryUrlCredentialsPolicy(const char16_t* url, std::uint32_t& policy) {
    if (url == nullptr) {
        return false;
    }
    const CComInitScope com;
    if (!com.Usable()) {
        return false;
    }
    IInternetSecurityManager* created = nullptr;
    if (FAILED(CoCreateInstance(CLSID_InternetSecurityManager, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IInternetSecurityManager,
                                reinterpret_cast<void**>(&created)))) {
        return false;
    }
    const std::unique_ptr<IInternetSecurityManager, CInterfaceRelease> manager(created);
    DWORD value = kUnsetPolicy;
    if (FAILED(manager->ProcessUrlAction(ToWideCall(url), URLACTION_CREDENTIALS_USE,
                                         reinterpret_cast<BYTE*>(&value), sizeof value, nullptr, 0,
                                         PUAF_NOUI, 0))) {
        return false;
    }
    policy = value;
    return true;
}
