// SystemLogonSchemes on POSIX: no silent logon; a proxy's Basic credentials come from its URL.
#include "http/system_logon.h"

SchemeHandlerList SystemLogonSchemes() {
    return {};
}
