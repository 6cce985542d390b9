// Response head: finding the end of the head however it is split into reads, the status
// line, header lines (folding, joining, limits, cookies, challenges) and their lookups.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "tests/http/client_fixture.h"

namespace {

TEST(HttpClientHead, OneBytePerReadWithProgressForEveryRead) {
    const std::string head = "HTTP/1.1 200 OK\r\nX-A: 1\r\nContent-Length: 0\r\n\r\n";
    CSocketScript script;
    script.AddConnection().ReplyInPieces(head, 1);
    CTestClient client(script);
    ReadLog log;
    const CRequestSettings settings = log.Settings();
    ASSERT_TRUE(client.RequestUrl(u"http://h/", &settings));
    EXPECT_EQ(log.counts, std::vector<std::uint32_t>(head.size(), 1));
    EXPECT_EQ(script.Connection(0).ReadsMade(), static_cast<int>(head.size()));
    EXPECT_EQ(client.Header(u"X-A"), "1");
    EXPECT_EQ(client.HeadLength(), head.size());
}

TEST(HttpClientHead, HeadEndStraddlingTwoReads) {
    const std::string response = Response(200, "X-A: 1\r\n", "body");
    const std::size_t end = response.find("\r\n\r\n");
    for (std::size_t cut = end; cut <= end + 4; ++cut) {
        CSocketScript script;
        script.AddConnection().ReplyCutAt(response, {cut});
        CTestClient client(script);
        ASSERT_TRUE(client.RequestUrl(u"http://h/", nullptr)) << cut;
        EXPECT_EQ(client.Header(u"X-A"), "1") << cut;
        EXPECT_EQ(client.Body(), "body") << cut;
    }
}

TEST(HttpClientHead, InterimContinueStaysAheadOfTheFinalResponse) {
    const std::string interim = "HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\n";
    const std::string final = Response(200, "X-Final: 1\r\n", "done");
    const std::string all = interim + final;
    // Whole in one read, cut inside the final head, and one byte per read.
    for (const std::size_t cut : {all.size(), interim.size() + 10, std::size_t{1}}) {
        CSocketScript script;
        if (cut == 1) {
            script.AddConnection().ReplyInPieces(all, 1);
        } else {
            script.AddConnection().ReplyCutAt(all, {cut});
        }
        CTestClient client(script);
        ASSERT_TRUE(client.RequestUrl(u"http://h/", nullptr)) << cut;
        EXPECT_EQ(client.StatusCode(), 200) << cut;
        EXPECT_EQ(client.HeadOffset(), interim.size()) << cut;
        EXPECT_EQ(client.Header(u"X-Interim"), "<absent>") << cut;
        EXPECT_EQ(client.Header(u"X-Final"), "1") << cut;
        EXPECT_EQ(client.Response(), all) << cut;
        EXPECT_EQ(client.Body(), "done") << cut;
    }
}

struct StatusCase {
    const char* name;
    std::string head;
    ResponseReceiveResult result;
    std::int32_t status;
};

TEST(HttpClientHead, StatusLineTable) {
    const std::string rest = "Content-Length: 0\r\n\r\n";
    const StatusCase cases[] = {
        {"ordinary", "HTTP/1.1 200 OK\r\n" + rest, kReceiveOk, 200},
        {"any first token", "XYZ 200 OK\r\n" + rest, kReceiveOk, 200},
        {"tab and blanks", "HTTP/1.1 \t 204\r\n" + rest, kReceiveOk, 204},
        {"no reason phrase", "HTTP/1.1 404\r\n" + rest, kReceiveOk, 404},
        {"four digits", "HTTP/1.1 2000 X\r\n" + rest, kReceiveOk, 2000},
        {"largest code", "HTTP/1.1 2147483647 X\r\n" + rest, kReceiveOk, INT_MAX},
        {"letters", "HTTP/1.1 abc\r\n" + rest, kReceiveStatusInvalid, -1},
        {"sign", "HTTP/1.1 +200 OK\r\n" + rest, kReceiveStatusInvalid, -1},
        {"version only", "HTTP/1.1\r\n\r\n", kReceiveStatusInvalid, -1},
        {"CR LF in front", "\r\nHTTP/1.1 200 OK\r\n" + rest, kReceiveStatusInvalid, -1},
        {"beyond 32 bits", "HTTP/1.1 2147483648 X\r\n" + rest, kReceiveHeadBad, INT_MAX},
    };
    for (const auto& c : cases) {
        CSocketScript script;
        script.AddConnection().Reply(c.head);
        CTestClient client(script);
        CRequestSettings settings;
        settings.flags = 0;
        EXPECT_EQ(client.RequestUrl(u"http://h/", &settings), c.result == kReceiveOk) << c.name;
        EXPECT_EQ(client.LastReceiveResult(), c.result) << c.name;
        EXPECT_EQ(client.StatusCode(), c.status) << c.name;
    }
}

TEST(HttpClientHead, StatusLineDirectlyFollowedByTheBlankLine) {
    CSocketScript script;
    script.AddConnection().Reply("HTTP/1.0 200 OK\r\n\r\nall of it");
    CTestClient client(script);
    ASSERT_TRUE(client.RequestUrl(u"http://h/", nullptr));
    EXPECT_EQ(client.StatusCode(), 200);
    EXPECT_EQ(client.Header(u"Content-Length"), "<absent>");
    EXPECT_EQ(client.Body(), "all of it");  // read until the connection ended
}

struct HeaderCase {
    const char* name;
    std::string lines;
    const char16_t* lookup;
    std::string value;
};

TEST(HttpClientHead, HeaderLineTable) {
    const std::string longValue(1100, 'v');
    const HeaderCase cases[] = {
        {"plain", "X-A: one\r\n", u"X-A", "one"},
        {"lookup in lower case", "X-Mixed: 1\r\n", u"x-mixed", "1"},
        {"lookup in upper case", "X-Mixed: 1\r\n", u"X-MIXED", "1"},
        {"leading white space dropped, trailing kept", "X-A:  \t v w \t\r\n", u"X-A", "v w \t"},
        {"no white space after the colon", "X-A:v\r\n", u"X-A", "v"},
        {"empty value", "X-A:\r\n", u"X-A", ""},
        {"colon inside the value", "X-A: a:b\r\n", u"X-A", "a:b"},
        {"folded", "X-A: one\r\n two\r\n", u"X-A", "one\r\n two"},
        {"folded twice with a tab", "X-A: one\r\n\ttwo\r\n three\r\n", u"X-A",
         "one\r\n\ttwo\r\n three"},
        {"repeated names joined", "X-R: a\r\nx-r: b\r\nX-R: c\r\n", u"X-R", "a,b,c"},
        {"blank before the colon", "Content-Type : t\r\n", u"Content-Type", "<absent>"},
        {"blank before the colon kept in the name", "Content-Type : t\r\n", u"Content-Type ", "t"},
        {"line without a colon ignored", "garbage\r\nX-A: 1\r\n", u"X-A", "1"},
        {"1100-byte value skipped", "X-Long: " + longValue + "\r\nX-After: 1\r\n", u"X-Long",
         "<absent>"},
        {"lines after a skipped one filed", "X-Long: " + longValue + "\r\nX-After: 1\r\n",
         u"X-After", "1"},
        {"1023-byte value kept", "X-V: " + std::string(1023, 'v') + "\r\n", u"X-V",
         std::string(1023, 'v')},
        {"1024-byte value skipped", "X-V: " + std::string(1024, 'v') + "\r\n", u"X-V", "<absent>"},
        {"1024-byte name skipped", std::string(1024, 'n') + ": 1\r\nX-A: 2\r\n", u"X-A", "2"},
        {"UTF-8 value", "X-U: caf\xC3\xA9\r\n", u"X-U", "caf\xC3\xA9"},
    };
    for (const auto& c : cases) {
        CSocketScript script;
        script.AddConnection().Reply("HTTP/1.1 200 OK\r\n" + c.lines + "Content-Length: 0\r\n\r\n");
        CTestClient client(script);
        ASSERT_TRUE(client.RequestUrl(u"http://h/", nullptr)) << c.name;
        EXPECT_EQ(client.Header(c.lookup), c.value) << c.name;
    }
}

TEST(HttpClientHead, SetCookieCallsAndChallenges) {
    CSocketScript script;
    script.AddConnection().Reply(Response(200,
                                          "Set-Cookie: a=1\r\nWWW-Authenticate: Basic realm=x\r\n"
                                          "set-cookie: b=2\r\nProxy-Authenticate: Negotiate\r\n",
                                          ""));
    CTestClient client(script);
    ASSERT_TRUE(client.RequestUrl(u"http://h/", nullptr));
    EXPECT_EQ(client.cookies, (std::vector<WideString>{u"a=1", u"b=2"}));
    EXPECT_EQ(client.Header(u"Set-Cookie"), "a=1,b=2");
    EXPECT_EQ(client.Challenges(), (std::vector<WideString>{u"Basic realm=x", u"Negotiate"}));
}

TEST(HttpClientHead, ConnectionKeptOnlyWhenTheResponseLeftItClean) {
    const struct {
        const char* name;
        std::string reply;
        bool closed;
    } cases[] = {
        {"counted", Response(200, "", "x"), false},
        {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\n\r\n",
         false},
        {"close", Response(200, "Connection: close\r\n", "x"), true},
        {"close in capitals", Response(200, "Connection: CLOSE\r\n", "x"), true},
        {"keep-alive", Response(200, "Connection: keep-alive\r\n", "x"), false},
        {"close twice is a joined value",
         Response(200, "Connection: close\r\nConnection: close\r\n", "x"), false},
        {"close with a trailing blank", Response(200, "Connection: close \r\n", "x"), false},
        {"body ended by the close", "HTTP/1.1 200 OK\r\n\r\nx", true},
        {"HTTP/1.0", "HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\nx", true},
        {"HTTP/1.0 offering keep-alive",
         "HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 1\r\n\r\nx", false},
        {"HTTP/1.0 behind an interim response",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\nx", true},
        {"another version", "HTTP/1.01 200 OK\r\nContent-Length: 1\r\n\r\nx", false},
    };
    for (const auto& c : cases) {
        CSocketScript script;
        script.AddConnection().Reply(c.reply);
        CTestClient client(script);
        ASSERT_TRUE(client.RequestUrl(u"http://h/", nullptr)) << c.name;
        EXPECT_EQ(script.Connection(0).ClosedByClient(), c.closed) << c.name;
    }
}

TEST(HttpClientHead, HeadReadFailures) {
    const std::string partial = "HTTP/1.1 200 OK\r\nX-A: 1\r\n";
    const struct {
        const char* name;
        void (*script)(CScriptedConnection&, const std::string&);
    } cases[] = {
        {"peer closes", [](CScriptedConnection& c, const std::string& p) { c.Reply(p); }},
        {"time-out", [](CScriptedConnection& c, const std::string& p) { c.Reply(p).TimeOut(); }},
        {"reset", [](CScriptedConnection& c, const std::string& p) { c.Reply(p).Fail(10054); }},
        {"five empty reads", [](CScriptedConnection& c,
                                const std::string& p) { c.Reply(p).EmptyReads(5).Reply("\r\n"); }},
    };
    for (const auto& c : cases) {
        CSocketScript script;
        c.script(script.AddConnection(), partial);
        CTestClient client(script);
        EXPECT_FALSE(client.RequestUrl(u"http://h/", nullptr)) << c.name;
        EXPECT_EQ(client.LastReceiveResult(), kReceiveSocketFailed) << c.name;
        EXPECT_EQ(client.Response(), partial) << c.name;
    }
    CSocketScript script;  // four empty reads are not yet the end
    script.AddConnection().Reply(partial).EmptyReads(4).Reply("Content-Length: 0\r\n\r\n");
    CTestClient client(script);
    EXPECT_TRUE(client.RequestUrl(u"http://h/", nullptr));
}

TEST(HttpClientHead, ReadProgressFalseStopsTheHead) {
    CSocketScript script;
    script.AddConnection().Reply(kEmptyOk);
    CTestClient client(script);
    ReadLog log;
    log.answer = false;
    const CRequestSettings settings = log.Settings();
    EXPECT_FALSE(client.RequestUrl(u"http://h/", &settings));
    EXPECT_EQ(client.LastReceiveResult(), kReceiveSocketFailed);
    EXPECT_TRUE(script.Connection(0).ClosedByClient());
}

TEST(HttpClientHead, CopyHeaderValueSizes) {
    CSocketScript script;
    script.AddConnection().Reply(Response(200, "X-A: abc\r\n", ""));
    CTestClient client(script);
    ASSERT_TRUE(client.RequestUrl(u"http://h/", nullptr));
    char16_t buffer[8] = {u'#', u'#', u'#', u'#', u'#'};
    std::uint32_t size = 3;
    EXPECT_TRUE(client.CopyHeaderValue(u"x-a", buffer, &size));  // too small
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(buffer[0], u'#');
    size = 0;
    EXPECT_TRUE(client.CopyHeaderValue(u"X-A", nullptr, &size));  // no buffer
    EXPECT_EQ(size, 4u);
    EXPECT_FALSE(client.CopyHeaderValue(u"X-A", buffer, nullptr));  // nothing bounds the copy
    EXPECT_FALSE(client.CopyHeaderValue(u"X-A", nullptr, nullptr));
    EXPECT_EQ(buffer[0], u'#');
    size = 8;
    EXPECT_TRUE(client.CopyHeaderValue(u"X-A", buffer, &size));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(WideString(buffer), u"abc");
    EXPECT_EQ(buffer[4], u'#');
    size = 8;
    EXPECT_FALSE(client.CopyHeaderValue(u"X-B", buffer, &size));
    EXPECT_EQ(size, 8u);
}

}  // namespace
