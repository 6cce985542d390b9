// CCommandLine: the three tokens of the log sender's command line with their defaults. The
// text is read as tokens separated by blanks (" " only; tabs and everything else are token
// characters); anything after the third token is ignored. The session identifier defaults
// to "NoSessionId", the log identifier to the session identifier.
#pragma once

#include "platform/wide_text.h"

class CCommandLine {
public:
    explicit CCommandLine(WideView text);

    // The command word is exactly "sendlogs" (case and whole text count).
    bool IsSendLogs() const { return commandWord_ == u"sendlogs"; }
    const WideString& CommandWord() const { return commandWord_; }
    const WideString& SessionId() const { return sessionId_; }
    const WideString& LogId() const { return logId_; }

private:
    WideString commandWord_;
    WideString sessionId_;
    WideString logId_;
};
