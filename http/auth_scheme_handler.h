// CAuthSchemeHandler: what the client's scheme registry would hold for one authentication
// scheme. The client offers it the whole challenge text and whether a proxy asked; a handler
// marked failed is skipped. The log sender registers none.
#pragma once

#include "platform/wide_text.h"

class CAuthSchemeHandler {
public:
    virtual ~CAuthSchemeHandler() = default;
    // True when the handler answered the challenge.
    virtual bool Authenticate(WideView challenge, bool forProxy) = 0;

    bool failed = false;
};
