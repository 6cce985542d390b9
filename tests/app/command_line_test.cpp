// The command line: blank-separated tokens, defaults for missing ones, the command word.
#include <gtest/gtest.h>

#include "app/command_line.h"
#include "platform/text_conversion.h"

namespace {

struct CommandLineCase {
    const char* name;
    std::u16string text;
    bool sendLogs;
    std::u16string sessionId;
    std::u16string logId;
};

TEST(CommandLine, SplitsTokensAndFillsDefaults) {
    const CommandLineCase cases[] = {
        {"three tokens", u"sendlogs S1 4321", true, u"S1", u"4321"},
        {"blanks before, between and after", u"   sendlogs   abc  123   ", true, u"abc", u"123"},
        {"command word only", u"sendlogs", true, u"NoSessionId", u"NoSessionId"},
        {"command word and blanks", u"sendlogs    ", true, u"NoSessionId", u"NoSessionId"},
        {"session identifier only", u"sendlogs S1", true, u"S1", u"S1"},
        {"fourth token ignored", u"sendlogs S1 4321 extra more", true, u"S1", u"4321"},
        {"tabs are token characters", u"sendlogs\tS1 4321", false, u"4321", u"4321"},
        {"tab inside a token", u"sendlogs S1\t2 4321\t", true, u"S1\t2", u"4321\t"},
        {"empty", u"", false, u"NoSessionId", u"NoSessionId"},
        {"blanks only", u"     ", false, u"NoSessionId", u"NoSessionId"},
        {"case counts", u"SendLogs S1 4321", false, u"S1", u"4321"},
        {"whole word counts", u"sendlogsx S1 4321", false, u"S1", u"4321"},
        {"prefix is not enough", u"sendlog S1 4321", false, u"S1", u"4321"},
    };
    for (const auto& c : cases) {
        const CCommandLine line(c.text);
        EXPECT_EQ(line.IsSendLogs(), c.sendLogs) << c.name;
        EXPECT_EQ(WideToNarrow(line.SessionId()), WideToNarrow(c.sessionId)) << c.name;
        EXPECT_EQ(WideToNarrow(line.LogId()), WideToNarrow(c.logId)) << c.name;
    }
}

}  // namespace
