// Splitting the command line into its tokens.
#include "app/command_line.h"

#include <cstddef>

namespace {

// Skips blanks from position, returns the run of non-blank characters after them and moves
// position one past its end. Once a read finds only blanks or the end, it and every later
// read return an empty token.
WideString NextToken(WideView text, std::size_t& position) {
    if (position >= text.size()) {
        position = WideView::npos;
        return WideString();
    }
    const std::size_t start = text.find_first_not_of(u' ', position);
    if (start == WideView::npos) {
        position = WideView::npos;
        return WideString();
    }
    std::size_t end = text.find(u' ', start);
    if (end == WideView::npos) {
        end = text.size();
    }
    position = end + 1;
    return WideString(text.substr(start, end - start));
}

}  // namespace

CCommandLine::CCommandLine(WideView text) {
    std::size_t position = 0;
    commandWord_ = NextToken(text, position);
    sessionId_ = NextToken(text, position);
    logId_ = NextToken(text, position);
    if (sessionId_.empty()) {
        sessionId_ = u"NoSessionId";
    }
    if (logId_.empty()) {
        logId_ = sessionId_;
    }
}
