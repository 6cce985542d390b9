// CParsedUrl::Parse: one left-to-right pass over URL text. The authority scan collects
// segments into a bounded working buffer and files scheme, user, password, host and port as
// their delimiters appear; the rest of the text is path, then query.
#include "net/url/parsed_url.h"
#include "platform/hresult_exception.h"

class CParsedUrl::CParser {
public:
    CParser(CParsedUrl& url, const char16_t* text) : url_(url), text_(text) {}

    bool Run() {
        return ScanAuthority() && schemeSeen_ && TakePath() && TakeQuery() && SettlePort();
    }

private:
    static constexpr std::uint32_t kWorkingSize = 2090;
    static constexpr std::uint32_t kSegmentLimit = 2089;
    static constexpr std::uint32_t kPortTextSize = 128;

    enum class Step { kContinue, kAuthorityDone, kFail };

    bool ScanAuthority() {
        for (;;) {
            const char16_t c = text_[pos_];
            if (c == 0) {
                return true;
            }
            if (n_ >= kSegmentLimit) {
                return false;
            }
            const Step step = ScanOne(c);
            if (step != Step::kContinue) {
                return step == Step::kAuthorityDone;
            }
        }
    }

    Step ScanOne(char16_t c) {
        if (c == u':') {
            return schemeSeen_ ? OnAuthorityColon() : OnSchemeColon();
        }
        if (c == u'@') {
            return OnUserEnd();
        }
        if (c == u'/' || c == u'?' || text_[pos_ + 1] == 0) {
            return OnHostEnd(c);
        }
        Append(c);
        ++pos_;
        return Step::kContinue;
    }

    Step OnSchemeColon() {
        if (!url_.SetSchemeText(Segment())) {
            return Step::kFail;
        }
        schemeSeen_ = true;
        n_ = 0;
        const char16_t* after = text_ + pos_ + 1;
        if (after[0] == u'/' && after[1] == u'/') {
            if (url_.schemeKind == SchemeMailto) {
                return Step::kFail;
            }
            pos_ += 3;
        } else if (after[0] == u'/') {
            ++pos_;  // "scheme:/path": the slash begins the path
            return Step::kAuthorityDone;
        } else {
            ++pos_;
        }
        return url_.schemeKind == SchemeFile ? Step::kAuthorityDone : Step::kContinue;
    }

    // A colon after the scheme: what follows, up to "/", "@" or the end, is a port or (before
    // "@") a password. Only as a port does the text end at a "?", which then starts the query,
    // so that "http://h:81?q" keeps its query while a password may hold a "?".
    Step OnAuthorityColon() {
        char16_t second[kPortTextSize + 1];
        std::uint32_t length = 0;
        std::size_t at = pos_ + 1;
        for (; !EndsPortOrPassword(text_[at]); ++at) {
            if (length == kPortTextSize) {
                return Step::kFail;
            }
            second[length++] = text_[at];
        }
        second[length] = 0;
        const char16_t stop = text_[at];
        if (stop != u'@' && !portSeen_) {
            if (!url_.SetHost(Segment())) {
                return Step::kFail;
            }
            const std::uint32_t portLength = QueryMarkOrEnd(second, length);
            second[portLength] = 0;
            url_.port = ReadPort(second);
            hostSeen_ = portSeen_ = true;
            pos_ = pos_ + 1 + portLength;
        } else {
            if (userSeen_ || !url_.SetUserText(Segment()) || !url_.SetPasswordText(second)) {
                return Step::kFail;
            }
            userSeen_ = true;
            pos_ = at + 1;
        }
        n_ = 0;
        return Step::kContinue;
    }

    Step OnUserEnd() {
        if (userSeen_ || !url_.SetUserText(Segment())) {
            return Step::kFail;
        }
        userSeen_ = true;
        n_ = 0;
        ++pos_;
        return Step::kContinue;
    }

    Step OnHostEnd(char16_t c) {
        if (c != u'/' && c != u'?') {  // the last character belongs to the host
            if (n_ >= kSegmentLimit - 1) {
                return Step::kFail;
            }
            Append(c);
            ++pos_;
        }
        if (!hostSeen_ && !url_.SetHost(Segment())) {
            return Step::kFail;
        }
        n_ = 0;
        return Step::kAuthorityDone;
    }

    bool TakePath() {
        const bool stopAtQuery = url_.schemeKind != SchemeFile;
        return CopyRest(stopAtQuery) && (n_ == 0 || url_.SetPath(Segment()));
    }

    bool TakeQuery() { return CopyRest(false) && (n_ == 0 || url_.SetQuery(Segment())); }

    bool CopyRest(bool stopAtQuery) {
        n_ = 0;
        for (char16_t c = text_[pos_]; c != 0; c = text_[++pos_]) {
            if (stopAtQuery && (c == u'?' || c == u'#')) {
                break;
            }
            if (n_ + 1 >= kSegmentLimit) {
                return false;
            }
            Append(c);
        }
        return true;
    }

    bool SettlePort() {
        const UrlSchemeKind kind = url_.schemeKind;
        if (kind == SchemeFile || kind == SchemeNews || kind == SchemeMailto) {
            url_.port = 0;
        } else if (!portSeen_) {
            url_.port = UrlDefaultPort(kind);
        }
        return true;
    }

    static bool EndsPortOrPassword(char16_t c) { return c == 0 || c == u'/' || c == u'@'; }

    // The length of text up to its first "?", or its whole length.
    static std::uint32_t QueryMarkOrEnd(const char16_t* text, std::uint32_t length) {
        std::uint32_t at = 0;
        while (at < length && text[at] != u'?') {
            ++at;
        }
        return at;
    }

    // Decimal reading as the C library does it: leading white space, an optional sign,
    // digits up to the first other character. The low 16 bits of the value are kept.
    static std::uint16_t ReadPort(const char16_t* text) {
        while (*text == u' ' || (*text >= u'\t' && *text <= u'\r')) {
            ++text;
        }
        const bool negative = *text == u'-';
        if (*text == u'-' || *text == u'+') {
            ++text;
        }
        std::uint32_t value = 0;
        for (; *text >= u'0' && *text <= u'9'; ++text) {
            value = (value * 10 + static_cast<std::uint32_t>(*text - u'0')) & 0xFFFFU;
        }
        return static_cast<std::uint16_t>(negative ? (0x10000U - value) & 0xFFFFU : value);
    }

    void Append(char16_t c) { buffer_[n_++] = c; }

    const char16_t* Segment() {
        buffer_[n_] = 0;
        return buffer_;
    }

    CParsedUrl& url_;
    const char16_t* text_;
    std::size_t pos_ = 0;
    char16_t buffer_[kWorkingSize];
    std::uint32_t n_ = 0;
    bool schemeSeen_ = false;
    bool userSeen_ = false;
    bool hostSeen_ = false;
    bool portSeen_ = false;
};

bool CParsedUrl::Parse(const char16_t* text) {
    ThrowIfNull(text);
    Reset();
    if (CParser(*this, text).Run()) {
        return true;
    }
    Reset();
    return false;
}
