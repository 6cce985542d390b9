// A 64 MiB counted body over the real socket from a loopback server: fetched by
// the HTTP client (in its default 4096-byte reads, and in 64 KiB reads), and by
// curl -o /dev/null from the same server in the same run, so the figures can be
// read side by side. curl's own transfer time is taken, without its process
// start.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "http/http_client.h"
#include "net/event_sync_socket.h"
#include "platform/text_conversion.h"
#include "tests/support/child_process.h"
#include "tests/support/loopback_server.h"

namespace {

constexpr std::size_t kBody = 64 << 20;

// Answers every request on 127.0.0.1 with the same counted body, then closes.
class CBodyServer {
public:
    CBodyServer()
        : answer_("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kBody) +
                  "\r\nConnection: close\r\n\r\n" + std::string(kBody, 'b')),
          server_([this](CLoopbackConnection& connection) { Serve(connection); },
                  CLoopbackServer::Family::kIpv4, std::chrono::seconds(60)) {}

    std::string Url() const { return "http://127.0.0.1:" + std::to_string(server_.Port()) + "/"; }

private:
    void Serve(CLoopbackConnection& connection) {
        std::string request;
        if (connection.ReadUntil("\r\n\r\n", request)) {
            connection.Write(answer_);
        }
    }

    std::string answer_;
    CLoopbackServer server_;
};

CBodyServer& Server() {
    static CBodyServer server;
    return server;
}

void BM_ClientCountedBody64MiB(benchmark::State& state) {
    const WideString url = NarrowToWide(Server().Url());
    CRequestSettings settings;
    settings.readBlockSize = static_cast<std::uint32_t>(state.range(0));
    for (auto _ : state) {
        CHttpClientT<CEventSyncSocket> client;
        if (!client.RequestUrl(url.c_str(), &settings) || client.BodyLength() != kBody) {
            state.SkipWithError("transfer failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBody));
}
BENCHMARK(BM_ClientCountedBody64MiB)
    ->Arg(4096)
    ->Arg(65536)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_CurlCountedBody64MiB(benchmark::State& state) {
    const std::string url = Server().Url();
    for (auto _ : state) {
        CChildProcess curl(
            {"curl", "-s", "-o", "/dev/null", "-w", "%{size_download} %{time_total}\n", url});
        std::string line;
        if (!curl.ReadLine(line, std::chrono::seconds(60))) {
            state.SkipWithError("curl did not finish");
            break;
        }
        char* rest = nullptr;
        const double size = std::strtod(line.c_str(), &rest);
        if (size != kBody) {
            state.SkipWithError("curl fetched another size");
            break;
        }
        state.SetIterationTime(std::strtod(rest, nullptr));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBody));
}
BENCHMARK(BM_CurlCountedBody64MiB)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
