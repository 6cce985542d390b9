// Response bodies: counted, read until the connection ends, and chunked, however the bytes
// are split into reads; the failures of each reader.
#include <gtest/gtest.h>

#include <vector>

#include "tests/http/client_fixture.h"

namespace {

const std::string kHead = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n";

TEST(HttpClientCountedBody, Table) {
    const struct {
        const char* name;
        std::vector<std::string> reads;  // the head is the first read's start
        std::string body;
        int reads_made;
    } cases[] = {
        {"length 0 reads nothing more", {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"}, "", 1},
        {"whole body with the head", {kHead + "hello"}, "hello", 1},
        {"body in later reads", {kHead, "he", "llo"}, "hello", 3},
        {"more than declared in the last block kept", {kHead, "hel", "loEXTRA"}, "helloEXTRA", 3},
        {"more than declared with the head kept", {kHead + "helloEXTRA"}, "helloEXTRA", 1},
        {"four empty reads then the rest", {kHead, "", "", "", "", "hello"}, "hello", 6},
        {"zero bytes inside", {kHead, std::string("\0b\0d\0", 5)}, std::string("\0b\0d\0", 5), 2},
        {"minus one reads to the close",
         {"HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", "ab"},
         "ab",
         8},
        {"non-numeric length reads as 0",
         {"HTTP/1.1 200 OK\r\nContent-Length: abc\r\n\r\nxy"},
         "xy",
         1},
        {"digits then junk", {"HTTP/1.1 200 OK\r\nContent-Length:  +3x\r\n\r\n", "abc"}, "abc", 2},
    };
    for (const auto& c : cases) {
        CSocketScript script;
        CScriptedConnection& connection = script.AddConnection();
        for (const auto& read : c.reads) {
            if (read.empty()) {
                connection.EmptyReads(1);
            } else {
                connection.Reply(read);
            }
        }
        CTestClient client(script);
        ASSERT_TRUE(client.RequestUrl(u"http://h/", nullptr)) << c.name;
        EXPECT_EQ(client.Body(), c.body) << c.name;
        EXPECT_EQ(client.BodyLength(), c.body.size()) << c.name;
        EXPECT_EQ(connection.ReadsMade(), c.reads_made) << c.name;
    }
}

TEST(HttpClientCountedBody, PeerClosingEarlyFailsAfterFiveEmptyReads) {
    CSocketScript script;
    script.AddConnection().Reply("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc");
    CTestClient client(script);
    ReadLog log;
    const CRequestSettings settings = log.Settings();
    EXPECT_FALSE(client.RequestUrl(u"http://h/", &settings));
    EXPECT_EQ(client.LastReceiveResult(), kReceiveBodyFailed);
    EXPECT_EQ(script.Connection(0).ReadsMade(), 6);
    const std::uint32_t headRead = static_cast<std::uint32_t>(client.ResponseLength());
    EXPECT_EQ(log.counts, (std::vector<std::uint32_t>{headRead, 0, 0, 0, 0, 0}));
    EXPECT_EQ(client.Body(), "abc");
}

TEST(HttpClientCountedBody, FailuresKeepWhatArrived) {
    const struct {
        const char* name;
        void (*play)(CScriptedConnection&);
        bool progressAnswer;
    } cases[] = {
        {"time-out", [](CScriptedConnection& c) { c.Reply(kHead).Reply("ab").TimeOut(); }, true},
        {"reset", [](CScriptedConnection& c) { c.Reply(kHead).Reply("ab").Fail(10054); }, true},
        {"progress says stop", [](CScriptedConnection& c) { c.Reply(kHead).Reply("ab"); }, false},
    };
    for (const auto& c : cases) {
        CSocketScript script;
        c.play(script.AddConnection());
        CTestClient client(script);
        ReadLog log;
        CRequestSettings settings = log.Settings();
        if (!c.progressAnswer) {
            settings.readProgress = [](std::uint32_t count, std::uintptr_t) { return count != 2; };
        }
        EXPECT_FALSE(client.RequestUrl(u"http://h/", &settings)) << c.name;
        EXPECT_EQ(client.LastReceiveResult(), kReceiveBodyFailed) << c.name;
        EXPECT_EQ(client.Body(), c.progressAnswer ? "ab" : "") << c.name;
        EXPECT_EQ(client.StatusCode(), 200) << c.name;
    }
}

TEST(HttpClientCountedBody, WholeBlocksOfTheReadBlockSize) {
    const struct {
        std::uint32_t readBlockSize;
        std::uint32_t asked;
    } cases[] = {{0, 2048}, {3, 3}, {512, 512}, {513, 513}, {100000, 100000}};
    for (const auto& c : cases) {
        CSocketScript script;
        script.AddConnection().Reply(kHead).Reply("hello");
        CTestClient client(script);
        CRequestSettings settings;
        settings.readBlockSize = c.readBlockSize;
        ASSERT_TRUE(client.RequestUrl(u"http://h/", &settings)) << c.readBlockSize;
        const auto& rooms = script.Connection(0).ReadRooms();
        ASSERT_GE(rooms.size(), 2u);
        EXPECT_EQ(rooms[0], 2048u);  // the head is read in blocks of its own
        for (std::size_t i = 1; i < rooms.size(); ++i) {
            EXPECT_EQ(rooms[i], c.asked) << c.readBlockSize;  // whole blocks, even near the end
        }
        EXPECT_EQ(client.Body(), "hello");
    }
}

TEST(HttpClientReadToClose, EndsAtTheSixthEmptyRead) {
    CSocketScript script;
    script.AddConnection().Reply("HTTP/1.1 200 OK\r\n\r\n").Reply("ab").EmptyReads(5).Reply("cd");
    CTestClient client(script);
    ReadLog log;
    const CRequestSettings settings = log.Settings();
    ASSERT_TRUE(client.RequestUrl(u"http://h/", &settings));
    EXPECT_EQ(client.Body(), "abcd");  // five empty reads in a row are not yet the end
    EXPECT_EQ(client.BodyLength(), 4u);
    EXPECT_EQ(log.counts, (std::vector<std::uint32_t>{19, 2, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0}));
}

TEST(HttpClientReadToClose, EndsAtATimeOutOrErrorWithSuccess) {
    for (const bool timeOut : {true, false}) {
        CSocketScript script;
        CScriptedConnection& connection = script.AddConnection();
        connection.Reply("HTTP/1.1 200 OK\r\nConnection: keep-alive\r\n\r\nbody");
        if (timeOut) {
            connection.ThenTimeOut();
        } else {
            connection.Fail(10054);
        }
        CTestClient client(script);
        ReadLog log;
        const CRequestSettings settings = log.Settings();
        ASSERT_TRUE(client.RequestUrl(u"http://h/", &settings));
        EXPECT_EQ(client.Body(), "body");
        EXPECT_EQ(log.counts.back(), 0u);          // the failed read is reported too
        EXPECT_TRUE(connection.ClosedByClient());  // nothing delimits what may still come
    }
}

TEST(HttpClientReadToClose, ProgressFalseOnTheEndingReadFails) {
    CSocketScript script;
    script.AddConnection().Reply("HTTP/1.1 200 OK\r\n\r\nbody").ThenTimeOut();
    CTestClient client(script);
    CRequestSettings settings;
    settings.readProgress = [](std::uint32_t count, std::uintptr_t) { return count != 0; };
    EXPECT_FALSE(client.RequestUrl(u"http://h/", &settings));
    EXPECT_EQ(client.LastReceiveResult(), kReceiveBodyFailed);
}

TEST(HttpClientReadToClose, EmptyBodyStatusesStillReadToTheClose) {
    for (const int status : {204, 304}) {
        CSocketScript script;
        script.AddConnection().Reply("HTTP/1.1 " + std::to_string(status) + " X\r\n\r\nstray");
        CTestClient client(script);
        ASSERT_TRUE(client.RequestUrl(u"http://h/", nullptr));
        EXPECT_EQ(client.Body(), "stray");
    }
}

std::string ChunkedHead(const std::string& extra = "") {
    return "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n" + extra + "\r\n";
}

struct ChunkedCase {
    const char* name;
    std::string head;
    std::string body;  // on the wire
    bool ok;
    std::string decoded;
};

TEST(HttpClientChunkedBody, Table) {
    const std::string big(2047, 'z');
    const ChunkedCase cases[] = {
        {"one chunk", ChunkedHead(), "5\r\nhello\r\n0\r\n\r\n", true, "hello"},
        {"several chunks", ChunkedHead(), "3\r\nabc\r\n1\r\nd\r\na\r\n0123456789\r\n0\r\n\r\n",
         true, "abcd0123456789"},
        {"any letter case", "HTTP/1.1 200 OK\r\nTransfer-Encoding: ChUnKeD\r\n\r\n",
         "1\r\nx\r\n0\r\n\r\n", true, "x"},
        {"chunked wins over Content-Length", ChunkedHead("Content-Length: 2\r\n"),
         "3\r\nabc\r\n0\r\n\r\n", true, "abc"},
        {"0x and sign forms", ChunkedHead(), "0x5\r\nhello\r\n +1\r\n!\r\n0\r\n\r\n", true,
         "hello!"},
        {"empty size line ends the body", ChunkedHead(), "5\r\nhello\r\n\r\n\r\n", true, "hello"},
        {"zero bytes inside", ChunkedHead(), std::string("3\r\n\0a\0\r\n0\r\n\r\n", 13), true,
         std::string("\0a\0", 3)},
        {"2047-byte chunk", ChunkedHead(), "7ff\r\n" + big + "\r\n0\r\n\r\n", true, big},
        {"trailers announced", ChunkedHead("Trailer: X-T\r\n"), "1\r\na\r\n0\r\nX-T: 1\r\n\r\n",
         true, "a"},
        {"trailers not announced", ChunkedHead(), "1\r\na\r\n0\r\nX-T: 1\r\n\r\n", true, "a"},
        {"negative size", ChunkedHead(), "-5\r\nhello\r\n0\r\n\r\n", false, ""},
        {"extension", ChunkedHead(), "5;ext=1\r\nhello\r\n0\r\n\r\n", false, ""},
        {"no CR LF after the data", ChunkedHead(), "5\r\nhelloX\r\n0\r\n\r\n", false, ""},
        {"LF alone after the size", ChunkedHead(), "5\n\rhello\r\n0\r\n\r\n", false, ""},
        {"closed inside a chunk", ChunkedHead(), "5\r\nhel", false, ""},
        {"closed before the last chunk", ChunkedHead(), "5\r\nhello\r\n", false, ""},
        {"closed inside the trailers", ChunkedHead(), "0\r\nX-T: 1\r\n", false, ""},
        {"size of 1 GiB", ChunkedHead(), "40000000\r\nabc", false, ""},
    };
    for (const auto& c : cases) {
        CSocketScript script;
        script.AddConnection().Reply(c.head).Reply(c.body);
        CTestClient client(script);
        EXPECT_EQ(client.RequestUrl(u"http://h/", nullptr), c.ok) << c.name;
        EXPECT_EQ(client.StatusCode(), 200) << c.name;
        if (c.ok) {
            EXPECT_EQ(client.Response(), c.head + c.decoded) << c.name;
            EXPECT_EQ(client.HeadOffset(), 0u) << c.name;
            EXPECT_EQ(client.HeadLength(), c.head.size()) << c.name;
            EXPECT_EQ(client.BodyLength(), c.decoded.size()) << c.name;
        } else {
            EXPECT_EQ(client.LastReceiveResult(), kReceiveChunksFailed) << c.name;
            EXPECT_EQ(client.ResponseLength(), 0u) << c.name;
            // A chunk counts once its bytes are in, never on the strength of its size line.
            EXPECT_LE(client.BodyLength(), c.body.size()) << c.name;
            EXPECT_EQ(client.Header(u"Transfer-Encoding"), "chunked") << c.name;
        }
    }
}

// A size line that never ends (an extension, then more and more bytes) fills the work
// buffer and fails there, without growing it or waiting for the connection to end.
TEST(HttpClientChunkedBody, EndlessSizeLineFailsOnceTheWorkBufferIsFull) {
    CSocketScript script;
    CScriptedConnection& connection = script.AddConnection();
    connection.Reply(ChunkedHead()).Reply("5;" + std::string(5000, 'e')).ThenTimeOut();
    CTestClient client(script);
    EXPECT_FALSE(client.RequestUrl(u"http://h/", nullptr));
    EXPECT_EQ(client.LastReceiveResult(), kReceiveChunksFailed);
    EXPECT_EQ(connection.ReadRooms(), (std::vector<std::uint32_t>{2048, 2048}));
}

TEST(HttpClientChunkedBody, AnotherCodingListedFirstIsReadRaw) {
    CSocketScript script;
    script.AddConnection().Reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n" +
                                 std::string("1\r\na\r\n0\r\n\r\n"));
    CTestClient client(script);
    ASSERT_TRUE(client.RequestUrl(u"http://h/", nullptr));
    EXPECT_EQ(client.Body(), "1\r\na\r\n0\r\n\r\n");
}

// Every cut of the body into two reads, and one byte per read: CR LF pairs split between
// reads included.
TEST(HttpClientChunkedBody, AnySplitIntoReads) {
    const std::string head = ChunkedHead("Trailer: X-T\r\n");
    const std::string body =
        "5\r\nhello\r\n1A\r\n" + std::string(26, 'q') + "\r\n0\r\nX-T: t\r\n\r\n";
    const std::string decoded = "hello" + std::string(26, 'q');
    for (std::size_t cut = 0; cut <= body.size() + 1; ++cut) {
        CSocketScript script;
        CScriptedConnection& connection = script.AddConnection().Reply(head);
        if (cut == body.size() + 1) {
            connection.ReplyInPieces(body, 1);
        } else {
            connection.ReplyCutAt(body, {cut});
        }
        CTestClient client(script);
        ASSERT_TRUE(client.RequestUrl(u"http://h/", nullptr)) << cut;
        EXPECT_EQ(client.Response(), head + decoded) << cut;
        EXPECT_EQ(client.Header(u"X-T"), "t") << cut;
    }
}

TEST(HttpClientChunkedBody, LeavesTheConnectionAtTheNextResponse) {
    for (const char* trailer : {"", "Trailer: X-T\r\n"}) {
        CSocketScript script;
        script.AddConnection()
            .Reply(ChunkedHead(trailer) + "1\r\na\r\n0\r\nX-T: 1\r\n\r\n")
            .Reply(Response(200, "X-Second: 1\r\n", "2nd"));
        CTestClient client(script);
        ASSERT_TRUE(client.RequestUrl(u"http://h/1", nullptr)) << trailer;
        EXPECT_EQ(client.Header(u"X-T"), *trailer ? "1" : "<absent>");
        ASSERT_TRUE(client.RequestUrl(u"http://h/2", nullptr)) << trailer;
        EXPECT_EQ(client.Body(), "2nd") << trailer;
        EXPECT_EQ(script.ConnectionsOpened(), 1u);
    }
}

TEST(HttpClientChunkedBody, InterimResponseDroppedAndEveryReadReported) {
    const std::string interim = "HTTP/1.1 100 Continue\r\n\r\n";
    CSocketScript script;
    script.AddConnection().Reply(interim + ChunkedHead()).Reply("2\r\nok\r\n").Reply("0\r\n\r\n");
    CTestClient client(script);
    ReadLog log;
    const CRequestSettings settings = log.Settings();
    ASSERT_TRUE(client.RequestUrl(u"http://h/", &settings));
    EXPECT_EQ(client.Response(), ChunkedHead() + "ok");
    EXPECT_EQ(client.HeadOffset(), 0u);
    const auto headBytes = static_cast<std::uint32_t>((interim + ChunkedHead()).size());
    EXPECT_EQ(log.counts, (std::vector<std::uint32_t>{headBytes, 7, 5}));
}

TEST(HttpClientChunkedBody, ProgressFalseStopsTheBody) {
    CSocketScript script;
    script.AddConnection().Reply(ChunkedHead()).Reply("2\r\nok\r\n").Reply("0\r\n\r\n");
    CTestClient client(script);
    CRequestSettings settings;
    settings.readProgress = [](std::uint32_t count, std::uintptr_t) { return count != 7; };
    EXPECT_FALSE(client.RequestUrl(u"http://h/", &settings));
    EXPECT_EQ(client.LastReceiveResult(), kReceiveChunksFailed);
}

TEST(HttpClientChunkedBody, LargeChunkGrowsTheReadRoom) {
    const std::string big(2047, 'z');
    CSocketScript script;
    script.AddConnection()
        .Reply(ChunkedHead())
        .ReplyInPieces("7ff\r\n" + big + "\r\n0\r\n\r\n", 1000);
    CTestClient client(script);
    ASSERT_TRUE(client.RequestUrl(u"http://h/", nullptr));
    EXPECT_EQ(client.Body(), big);
    const auto& rooms = script.Connection(0).ReadRooms();
    ASSERT_GE(rooms.size(), 3u);
    EXPECT_EQ(rooms[1], 2048u);
    EXPECT_EQ(rooms[2], 4094u - 995);  // twice the chunk, less the carried 995 chunk bytes
}

}  // namespace
