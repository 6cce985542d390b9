// The schemes by which this platform logs the user on to a proxy silently, with the logged-on
// user's own credentials, strongest first: on Windows Negotiate and NTLM through SSPI; none on
// POSIX, where a proxy takes only the Basic credentials of its URL.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "http/auth_scheme_handler.h"
#include "platform/wide_text.h"

using SchemeHandlerList = std::vector<std::pair<WideString, std::unique_ptr<CAuthSchemeHandler>>>;

SchemeHandlerList SystemLogonSchemes();
