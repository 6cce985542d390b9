// ReadChallenges: the challenges of one Proxy-Authenticate (or WWW-Authenticate) value, the
// header's repeated fields joined with commas as the client files them. A challenge is a scheme
// name, then either nothing, a token68 ("NTLM TlRM...==") or auth-params ('realm="x", a=b'),
// and one field may hold several ("Negotiate, NTLM", 'Basic realm="a", NTLM'): a comma outside
// a quoted string ends an element, and an element whose first word is followed by "=" is a
// parameter of the challenge before it. Elements that are neither are passed over.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/wide_text.h"

struct CAuthChallenge {
    WideString scheme;
    // The token68, or the auth-params as written (joined with ", "); empty for none.
    WideString data;
};

// More challenges in one response than any proxy offers are not read.
constexpr std::size_t kMaxChallenges = 16;

std::vector<CAuthChallenge> ReadChallenges(WideView value);
