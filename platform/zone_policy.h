// The zone check that stands before any use of credentials: for a URL it answers the
// credentials policy of the URL's security zone. Only kUrlPolicyCredentialsSilentLogonOk lets
// credentials be used without asking; every other value refuses.
#pragma once

#include <cstdint>

#include "platform/wide_text.h"

constexpr std::uint32_t kUrlPolicyCredentialsSilentLogonOk = 0x00000000;
constexpr std::uint32_t kUrlPolicyCredentialsAnonymousOnly = 0x00030000;

// Writes the credentials policy for an absolute URL text into policy. False when no policy
// can be given (a null text); policy is then left alone.
bool QueryUrlCredentialsPolicy(const char16_t* url, std::uint32_t& policy);
