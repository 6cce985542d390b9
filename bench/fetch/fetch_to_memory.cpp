// bench_fetch_to_memory: one GET with CHttpClientT<CEventSyncSocket>, the response kept in the
// client's memory as the log sender keeps it, and nothing written anywhere. It is the client's
// half of bench/download_vs_curl.py, which times this program and curl as whole processes
// against the same server.
//
//     bench_fetch_to_memory URL [READ_BLOCK_SIZE]
//
// Prints the body length and exits 0 when the request succeeded; exits 1 otherwise (2 for a
// bad command line), so that a timing of a failed fetch is never taken for a result.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "http/http_client.h"
#include "net/socket/event_sync_socket.h"
#include "platform/text_conversion.h"

namespace {

bool ParseBlockSize(const char* text, std::uint32_t& size) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (end == text || *end != '\0' || value == 0 || value > 0x7FFFFFFFul) {
        return false;
    }
    size = static_cast<std::uint32_t>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    CRequestSettings settings;
    if (argc < 2 || argc > 3 || (argc == 3 && !ParseBlockSize(argv[2], settings.readBlockSize))) {
        std::fprintf(stderr, "usage: %s URL [READ_BLOCK_SIZE]\n", argv[0]);
        return 2;
    }
    const std::u16string url = NarrowToWide(argv[1]);
    CHttpClientT<CEventSyncSocket> client;
    if (!client.RequestUrl(url.c_str(), &settings)) {
        std::fprintf(stderr, "request failed: status %d, receive result %d\n",
                     static_cast<int>(client.StatusCode()),
                     static_cast<int>(client.LastReceiveResult()));
        return 1;
    }
    std::printf("%lu\n", static_cast<unsigned long>(client.BodyLength()));
    return 0;
}
