// Request head and send modes: the exact bytes and writes a request puts on the wire.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tests/http/client_fixture.h"

namespace {

struct HeadCase {
    const char* name;
    const char16_t* url;
    std::function<void(CRequestSettings&)> configure;
    std::string expected;
};

const std::uint8_t kFiveBytes[] = {'a', 'b', 'c', 'd', 'e'};

// The method "G\u00C9T" in the head's 8-bit text: UTF-8 on POSIX, the ANSI code page on
// Windows (1252, as Wine has under LC_ALL=C).
#ifdef _WIN32
const char* const kMethodBytes = "G\xC9T";
#else
const char* const kMethodBytes = "G\xC3\x89T";
#endif

TEST(HttpClientSend, RequestHeadBytes) {
    const HeadCase cases[] = {
        {"default GET", u"http://h/a/b?x=1", [](CRequestSettings&) {},
         RequestHead("GET", "/a/b?x=1")},
        {"POST with a body", u"http://h/up",
         [](CRequestSettings& s) {
             s.method = u"POST";
             s.AssignPostData(kFiveBytes, 5, u"text/plain");
         },
         "POST /up HTTP/1.1\r\nContent-Length: 5\r\nContent-Type: text/plain\r\nHost: h\r\n" +
             kUserAgentLine + "\r\nabcde"},
        {"null content type", u"http://h/",
         [](CRequestSettings& s) { s.AssignPostData(kFiveBytes, 5, nullptr); },
         "GET / HTTP/1.1\r\nContent-Length: 5\r\nHost: h\r\n" + kUserAgentLine + "\r\nabcde"},
        {"empty content type", u"http://h/",
         [](CRequestSettings& s) { s.AssignPostData(kFiveBytes, 5, u""); },
         "GET / HTTP/1.1\r\nContent-Length: 5\r\nHost: h\r\n" + kUserAgentLine + "\r\nabcde"},
        {"body set but length 0", u"http://h/",
         [](CRequestSettings& s) { s.AssignPostData(kFiveBytes, 0, u"a/b"); },
         "GET / HTTP/1.1\r\nContent-Type: a/b\r\nHost: h\r\n" + kUserAgentLine + "\r\n"},
        {"extra headers", u"http://h/",
         [](CRequestSettings& s) {
             s.extraHeaders = u"X-A: 1\r\nX-B: 2\r\n";
             s.AssignPostData(kFiveBytes, 1, u"t/t");
         },
         "GET / HTTP/1.1\r\nContent-Length: 1\r\nContent-Type: t/t\r\nX-A: 1\r\nX-B: 2\r\nHost: "
         "h\r\n" +
             kUserAgentLine + "\r\na"},
        {"extra headers without a final CR LF run into Host", u"http://h/",
         [](CRequestSettings& s) { s.extraHeaders = u"X-A: 1"; },
         "GET / HTTP/1.1\r\nX-A: 1Host: h\r\n" + kUserAgentLine + "\r\n"},
        {"port other than 80 stays out of Host", u"http://h:8080/p", [](CRequestSettings&) {},
         RequestHead("GET", "/p")},
        {"no path", u"http://h", [](CRequestSettings&) {}, RequestHead("GET", "/")},
        {"query begun by #", u"http://h/p#frag", [](CRequestSettings&) {},
         RequestHead("GET", "/p#frag")},
        {"escaped path, query as given", u"http://h/a b?c d", [](CRequestSettings&) {},
         RequestHead("GET", "/a%20b?c d")},
        {"non-ASCII method text in the 8-bit text", u"http://h/",
         [](CRequestSettings& s) { s.method = u"G\u00C9T"; }, RequestHead(kMethodBytes, "/")},
    };
    for (const auto& c : cases) {
        CSocketScript script;
        script.AddConnection().Reply(kEmptyOk);
        CTestClient client(script);
        CRequestSettings settings;
        c.configure(settings);
        EXPECT_TRUE(client.RequestUrl(c.url, &settings)) << c.name;
        EXPECT_EQ(script.Connection(0).Sent(), c.expected) << c.name;
    }
}

struct WriteLog {
    std::vector<std::uint32_t> counts;
    int stopAfter = -1;  // answer false on this call (0-based); -1: never
    static bool Record(std::uint32_t count, std::uintptr_t value) {
        auto* log = reinterpret_cast<WriteLog*>(value);
        log->counts.push_back(count);
        return static_cast<int>(log->counts.size()) - 1 != log->stopAfter;
    }
};

std::vector<std::uint32_t> WriteSizes(const CScriptedConnection& connection) {
    std::vector<std::uint32_t> sizes;
    for (const auto& write : connection.Writes()) {
        sizes.push_back(write.bytes);
    }
    return sizes;
}

class HttpClientSendModes : public ::testing::Test {
protected:
    HttpClientSendModes() : body(10000) {
        for (std::size_t i = 0; i < body.size(); ++i) {
            body[i] = static_cast<std::uint8_t>(i * 7);
        }
        settings.method = u"POST";
        settings.AssignPostData(body.data(), 10000, u"application/octet-stream");
        settings.sendProgress = &WriteLog::Record;
        settings.sendProgressValue = reinterpret_cast<std::uintptr_t>(&log);
        script.AddConnection().Reply(kEmptyOk);
    }
    std::string BodyText() const { return std::string(body.begin(), body.end()); }
    std::uint32_t HeadSize() const {
        return static_cast<std::uint32_t>(
            std::string("POST /u HTTP/1.1\r\nContent-Length: 10000\r\nContent-Type: "
                        "application/octet-stream\r\nHost: h\r\n" +
                        kUserAgentLine + "\r\n")
                .size());
    }
    const CScriptedConnection& Wire() { return script.Connection(0); }

    std::vector<std::uint8_t> body;
    CRequestSettings settings;
    WriteLog log;
    CSocketScript script;
};

TEST_F(HttpClientSendModes, DefaultBlocksOf4096) {
    CTestClient client(script);
    EXPECT_TRUE(client.RequestUrl(u"http://h/u", &settings));
    const std::vector<std::uint32_t> sizes = {HeadSize(), 4096, 4096, 1808};
    EXPECT_EQ(WriteSizes(Wire()), sizes);
    EXPECT_EQ(log.counts, sizes);
    EXPECT_EQ(Wire().Sent().substr(HeadSize()), BodyText());
}

TEST_F(HttpClientSendModes, GatherWriteWithoutBlockFlag) {
    settings.flags = kRequestCheckStatus;
    CTestClient client(script);
    EXPECT_TRUE(client.RequestUrl(u"http://h/u", &settings));
    ASSERT_EQ(Wire().Writes().size(), 1u);
    EXPECT_EQ(Wire().Writes()[0].buffers, 2u);
    EXPECT_EQ(Wire().Writes()[0].bytes, HeadSize() + 10000);
    EXPECT_EQ(Wire().Sent().substr(HeadSize()), BodyText());
}

TEST_F(HttpClientSendModes, BlockSizeZeroWritesNothingAndFails) {
    settings.sendBlockSize = 0;
    CTestClient client(script);
    EXPECT_FALSE(client.RequestUrl(u"http://h/u", &settings));
    EXPECT_TRUE(Wire().Writes().empty());
    EXPECT_EQ(Wire().ReadsMade(), 0);
    EXPECT_TRUE(Wire().ClosedByClient());
}

TEST_F(HttpClientSendModes, ProgressFalseStopsBlocksAndCloses) {
    const int stops[] = {0, 2};  // after the head, after the second block
    for (const int stop : stops) {
        CSocketScript local;
        local.AddConnection().Reply(kEmptyOk);
        log = WriteLog{};
        log.stopAfter = stop;
        CTestClient client(local);
        EXPECT_FALSE(client.RequestUrl(u"http://h/u", &settings)) << stop;
        EXPECT_EQ(local.Connection(0).Writes().size(), static_cast<std::size_t>(stop + 1)) << stop;
        EXPECT_EQ(local.Connection(0).ReadsMade(), 0) << stop;
        EXPECT_TRUE(local.Connection(0).ClosedByClient()) << stop;
    }
}

TEST_F(HttpClientSendModes, ProgressResultIgnoredForSingleWrites) {
    settings.flags = kRequestCheckStatus;
    log.stopAfter = 0;
    CTestClient client(script);
    EXPECT_TRUE(client.RequestUrl(u"http://h/u", &settings));
    EXPECT_EQ(log.counts, std::vector<std::uint32_t>{HeadSize() + 10000});
}

TEST_F(HttpClientSendModes, ShortWriteFailsAndCloses) {
    script.Connection(0).AcceptOnly(HeadSize() + 5000);
    CTestClient client(script);
    EXPECT_FALSE(client.RequestUrl(u"http://h/u", &settings));
    EXPECT_EQ(Wire().Sent().size(), HeadSize() + 5000);
    EXPECT_EQ(Wire().ReadsMade(), 0);
    EXPECT_TRUE(Wire().ClosedByClient());
}

TEST_F(HttpClientSendModes, LengthWithoutDataSendsHeadOnlyAndFails) {
    settings.postData = nullptr;
    CTestClient client(script);
    EXPECT_FALSE(client.RequestUrl(u"http://h/u", &settings));
    EXPECT_EQ(Wire().Sent().size(), HeadSize());
    EXPECT_NE(Wire().Sent().find("Content-Length: 10000\r\n"), std::string::npos);
    EXPECT_EQ(Wire().ReadsMade(), 0);
}

TEST(HttpClientSend, LengthAbove2GiBIsAnnouncedUnsigned) {
    CSocketScript script;
    script.AddConnection().Reply(kEmptyOk);
    CTestClient client(script);
    CRequestSettings settings;
    settings.postDataLength = 3000000000u;
    EXPECT_FALSE(client.RequestUrl(u"http://h/", &settings));  // no data: only the head goes
    EXPECT_EQ(
        script.Connection(0).Sent(),
        "GET / HTTP/1.1\r\nContent-Length: 3000000000\r\nHost: h\r\n" + kUserAgentLine + "\r\n");
}

struct PieceSource {
    std::vector<std::string> pieces;
    std::size_t next = 0;
    std::vector<std::string> seenOnEntry;
    static bool Supply(const std::uint8_t** piece, std::uint32_t* length, std::uintptr_t value) {
        auto* source = reinterpret_cast<PieceSource*>(value);
        source->seenOnEntry.emplace_back(reinterpret_cast<const char*>(*piece), *length);
        if (source->next == source->pieces.size()) {
            return false;
        }
        const std::string& text = source->pieces[source->next++];
        *piece = reinterpret_cast<const std::uint8_t*>(text.data());
        *length = static_cast<std::uint32_t>(text.size());
        return true;
    }
};

TEST(HttpClientSend, BodyFromSourceMustAddUpToTheLength) {
    const struct {
        const char* name;
        std::vector<std::string> pieces;
        bool result;
    } cases[] = {{"exact", {"abcd", "efgh", "ij"}, true},
                 {"short", {"abcd", "efgh"}, false},
                 {"long", {"abcd", "efgh", "ijkl"}, false}};
    for (const auto& c : cases) {
        CSocketScript script;
        script.AddConnection().Reply(kEmptyOk);
        PieceSource source;
        source.pieces = c.pieces;
        CRequestSettings settings;
        settings.flags = kRequestBodyFromSource | kRequestCheckStatus;
        settings.postDataLength = 10;
        settings.bodySource = &PieceSource::Supply;
        settings.bodySourceValue = reinterpret_cast<std::uintptr_t>(&source);
        CTestClient client(script);
        EXPECT_EQ(client.RequestUrl(u"http://h/s", &settings), c.result) << c.name;
        const std::string head =
            "GET /s HTTP/1.1\r\nContent-Length: 10\r\nHost: h\r\n" + kUserAgentLine + "\r\n";
        std::string all = head;
        for (const auto& piece : c.pieces) {
            all += piece;
        }
        EXPECT_EQ(script.Connection(0).Sent(), all) << c.name;
        EXPECT_EQ(script.Connection(0).ReadsMade() > 0, c.result) << c.name;
        ASSERT_FALSE(source.seenOnEntry.empty());
        EXPECT_EQ(source.seenOnEntry[0], head) << c.name;
        EXPECT_EQ(source.seenOnEntry[1], "abcd") << c.name;
    }
}

TEST(HttpClientSend, BodySourceEndsOnNullPieceOrZeroLength) {
    struct Ending {
        static bool NullPiece(const std::uint8_t** piece, std::uint32_t* length, std::uintptr_t) {
            *piece = nullptr;
            *length = 3;
            return true;
        }
        static bool ZeroLength(const std::uint8_t**, std::uint32_t* length, std::uintptr_t) {
            *length = 0;
            return true;
        }
    };
    for (const BodySourceCallback source : {&Ending::NullPiece, &Ending::ZeroLength}) {
        CSocketScript script;
        script.AddConnection().Reply(kEmptyOk);
        CRequestSettings settings;
        settings.flags = kRequestBodyFromSource | kRequestCheckStatus;
        settings.bodySource = source;
        CTestClient client(script);
        EXPECT_TRUE(client.RequestUrl(u"http://h/", &settings));
        EXPECT_EQ(script.Connection(0).Sent(), RequestHead("GET", "/"));
    }
}

}  // namespace
