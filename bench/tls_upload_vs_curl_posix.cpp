// A 64 MiB upload over TLS to the reference receiver behind its nginx TLS front
// (server/receiver-tls.sh, TLS 1.3, a certificate made for the run): posted by the HTTP client
// over CTlsSocket (in the program's 4096-byte writes, and in 64 KiB writes), and by
// curl --data-binary to the same front in the same run, so the figures can be read side by
// side. curl's own transfer time is taken, without its process start. The receiver reads the
// whole body and answers 400 (it is no multipart form), the same for both.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "http/http_client.h"
#include "net/tls/tls_socket.h"
#include "platform/text_conversion.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr std::size_t kBody = 64 << 20;
constexpr const char* kContentType = "application/octet-stream";

// The front for the whole run, the body in memory and in a file for curl.
class CTlsFrontRun {
public:
    CTlsFrontRun() : body_(kBody, '\0') {
        for (std::size_t i = 0; i < body_.size(); ++i) {
            body_[i] = static_cast<char>((i * 2654435761u) >> 24);
        }
        bodyFile_ = folder_.Write("body.bin", body_).string();
        std::string banner;
        if (!front_.Start({"/bin/bash", LOGSENDER_SOURCE_DIR "/server/receiver-tls.sh",
                           (folder_.Path() / "uploads").string()},
                          {}, true) ||
            !front_.ReadLine(banner, std::chrono::seconds(15))) {
            return;
        }
        const auto start = banner.find("https://");
        const auto end = banner.find(')', start);
        const auto authority = banner.find("authority ");
        if (start == std::string::npos || end == std::string::npos ||
            authority == std::string::npos) {
            return;
        }
        url_ = banner.substr(start, end - start) + "/scripts/uploadUserLog.php";
        authorityFile_ = banner.substr(authority + 10);
        std::ifstream in(authorityFile_);
        authorityPem_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    bool Ready() const { return !authorityPem_.empty(); }
    const std::string& Url() const { return url_; }
    const std::string& Body() const { return body_; }
    const std::string& BodyFile() const { return bodyFile_; }
    const std::string& AuthorityFile() const { return authorityFile_; }
    CTlsTrust Trust() const { return CTlsTrust::Pinned(authorityPem_); }

private:
    CTempFolder folder_;
    std::string body_;
    std::string bodyFile_;
    CChildProcess front_;
    std::string url_;
    std::string authorityFile_;
    std::string authorityPem_;
};

CTlsFrontRun& Run() {
    static CTlsFrontRun run;
    return run;
}

void BM_ClientTlsUpload64MiB(benchmark::State& state) {
    if (!Run().Ready()) {
        state.SkipWithError("the TLS front did not start");
        return;
    }
    const WideString url = NarrowToWide(Run().Url());
    const WideString contentType = NarrowToWide(kContentType);
    CRequestSettings settings;
    settings.AssignMethod(u"POST");
    settings.AssignPostData(reinterpret_cast<const std::uint8_t*>(Run().Body().data()),
                            static_cast<std::uint32_t>(kBody), contentType.c_str());
    settings.flags = kRequestFollowRedirects | kRequestBodyInBlocks;
    settings.sendBlockSize = static_cast<std::uint32_t>(state.range(0));
    for (auto _ : state) {
        CHttpClientT<CTlsSocket> client(Run().Trust());
        if (!client.RequestUrl(url.c_str(), &settings)) {
            state.SkipWithError("upload failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBody));
}
BENCHMARK(BM_ClientTlsUpload64MiB)
    ->Arg(4096)
    ->Arg(65536)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_CurlTlsUpload64MiB(benchmark::State& state) {
    if (!Run().Ready()) {
        state.SkipWithError("the TLS front did not start");
        return;
    }
    for (auto _ : state) {
        CChildProcess curl({"curl", "-s", "-o", "/dev/null", "--cacert", Run().AuthorityFile(),
                            "-H", std::string("Content-Type: ") + kContentType, "--data-binary",
                            "@" + Run().BodyFile(), "-w", "%{size_upload} %{time_total}\n",
                            Run().Url()});
        std::string line;
        if (!curl.ReadLine(line, std::chrono::seconds(60))) {
            state.SkipWithError("curl did not finish");
            break;
        }
        char* rest = nullptr;
        const double size = std::strtod(line.c_str(), &rest);
        if (size != kBody) {
            state.SkipWithError("curl sent another size");
            break;
        }
        state.SetIterationTime(std::strtod(rest, nullptr));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBody));
}
BENCHMARK(BM_CurlTlsUpload64MiB)->Iterations(3)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
