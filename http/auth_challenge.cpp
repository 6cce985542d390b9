// Splitting an authentication header value into its challenges.
#include "http/auth_challenge.h"

namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

WideView Trimmed(WideView text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The comma-separated elements of value; commas inside a quoted string (with its backslash
// escapes) do not separate.
std::vector<WideView> Elements(WideView value) {
    std::vector<WideView> elements;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char16_t c = value[i];
        if (quoted && c == u'\\') {
            ++i;
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (c == u',' && !quoted) {
            elements.push_back(Trimmed(value.substr(start, i - start)));
            start = i + 1;
        }
    }
    elements.push_back(Trimmed(value.substr(start)));
    return elements;
}

bool IsTokenChar(char16_t c) {
    return c > u' ' && c < 0x7F && c != u'=' && c != u'"' && c != u',' && c != u';';
}

}  // namespace

std::vector<CAuthChallenge> ReadChallenges(WideView value) {
    std::vector<CAuthChallenge> challenges;
    for (const WideView element : Elements(value)) {
        std::size_t word = 0;
        while (word < element.size() && IsTokenChar(element[word])) {
            ++word;
        }
        if (word == 0) {
            continue;
        }
        const WideView rest = Trimmed(element.substr(word));
        if (!rest.empty() && rest.front() == u'=') {
            // A parameter of the challenge before it.
            if (!challenges.empty()) {
                WideString& data = challenges.back().data;
                data += data.empty() ? u"" : u", ";
                data += element;
            }
            continue;
        }
        if (challenges.size() == kMaxChallenges) {
            break;
        }
        challenges.push_back({WideString(element.substr(0, word)), WideString(rest)});
    }
    return challenges;
}
