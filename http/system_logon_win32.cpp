// SystemLogonSchemes on Windows: until the SSPI schemes are built, none.
#include "http/system_logon.h"

SchemeHandlerList SystemLogonSchemes() {
    return {};
}
