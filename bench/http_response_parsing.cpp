// HTTP client response readers over the scripted socket, so that only the client's own work
// is measured: a request answered by a typical 400-byte head (against the same request
// answered by a minimal head, whose difference is the cost of the extra header lines), a
// 4 MiB head taken in by the head reader's 2048-byte reads (linear in its length: the search
// for the head's end never passes the same bytes twice), and a 16 MiB body in 8 KiB chunks
// decoded by the chunked reader.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "http/http_client.h"
#include "tests/support/scripted_socket.h"

namespace {

// 400 bytes, eleven header lines: what a web server in front of an upload script answers.
const std::string kTypicalHead =
    "HTTP/1.1 200 OK\r\n"
    "Date: Tue, 08 Dec 2026 17:32:17 GMT\r\n"
    "Server: Apache/2.4.57\r\n"
    "X-Powered-By: PHP/8.2.7\r\n"
    "Cache-Control: no-store, no-cache, must-revalidate\r\n"
    "Expires: Thu, 19 Nov 1981 08:52:00 GMT\r\n"
    "Set-Cookie: PHPSESSID=5f2c0a9e8d7b6c5a4f3e2d1c0b9a8f7e6d; path=/\r\n"
    "Vary: Accept-Encoding\r\n"
    "Content-Length: 0\r\n"
    "Keep-Alive: timeout=5, max=100\r\n"
    "Connection: Keep-Alive\r\n"
    "Content-Type: text/html; charset=UTF-8\r\n"
    "\r\n";
const std::string kMinimalHead = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";

// One kept connection answering every request with the same head.
void RequestsAnsweredBy(benchmark::State& state, const std::string& head) {
    CSocketScript script;
    CScriptedConnection& connection = script.AddConnection();
    CHttpClientT<CScriptedSocket> client(script);
    CParsedUrl url;
    url.Parse(u"http://logs.example/scripts/uploadUserLog.php");
    for (auto _ : state) {
        connection.Reply(head);
        if (!client.RequestParsedUrl(&url, nullptr)) {
            state.SkipWithError("request failed");
            break;
        }
        connection.ForgetSent();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * head.size()));
}

void BM_RequestWithTypicalHead(benchmark::State& state) {
    RequestsAnsweredBy(state, kTypicalHead);
}
BENCHMARK(BM_RequestWithTypicalHead);

void BM_RequestWithMinimalHead(benchmark::State& state) {
    RequestsAnsweredBy(state, kMinimalHead);
}
BENCHMARK(BM_RequestWithMinimalHead);

void BM_Head4MiB(benchmark::State& state) {
    std::string head = "HTTP/1.1 200 OK\r\n";
    for (int line = 0; head.size() < (4u << 20); ++line) {
        head += "X-Line-" + std::to_string(line) + ": " + std::string(40, 'v') + "\r\n";
    }
    head += "Content-Length: 0\r\n\r\n";
    RequestsAnsweredBy(state, head);
}
BENCHMARK(BM_Head4MiB)->Unit(benchmark::kMillisecond);

void BM_ChunkedBody16MiBIn8KiBChunks(benchmark::State& state) {
    constexpr std::size_t kBody = 16 << 20;
    constexpr std::size_t kChunk = 8 << 10;
    std::string wire = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    const std::string chunk(kChunk, 'c');
    for (std::size_t sent = 0; sent < kBody; sent += kChunk) {
        wire += "2000\r\n" + chunk + "\r\n";
    }
    wire += "0\r\n\r\n";
    CParsedUrl url;
    url.Parse(u"http://logs.example/big");
    for (auto _ : state) {
        state.PauseTiming();
        CSocketScript script;
        script.AddConnection().ReplyInPieces(wire, 64 << 10);
        auto client = std::make_unique<CHttpClientT<CScriptedSocket>>(script);
        state.ResumeTiming();
        if (!client->RequestParsedUrl(&url, nullptr) || client->BodyLength() != kBody) {
            state.SkipWithError("chunked body not decoded");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBody));
}
BENCHMARK(BM_ChunkedBody16MiBIn8KiBChunks)->Unit(benchmark::kMillisecond);

}  // namespace
