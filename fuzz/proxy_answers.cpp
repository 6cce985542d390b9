// Fuzz target for a proxy's answers to an https upload's CONNECT: arbitrary bytes, split into
// reads at arbitrary points, played on every connection the client opens to the proxy, with a
// connection-bound logon scheme registered and Basic credentials known. Checks that the client
// opens at most one connection per logon answer and one more, starts TLS only after a whole 2xx
// head, and that the challenge reader and the token codec hold their own promises on the same
// bytes; the sanitizers catch every access out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "http/auth_challenge.h"
#include "http/base64.h"
#include "http/http_client.h"
#include "net/proxy/proxy_chooser.h"
#include "platform/text_conversion.h"
#include "tests/support/fuzz_script.h"
#include "tests/support/scripted_socket.h"

namespace {

class CThroughProxy : public CProxyChooser {
public:
    CProxyRoute RouteFor(const CParsedUrl&) override {
        CProxyServer server;
        server.host = u"p";
        server.port = 3128;
        server.hasCredentials = true;
        server.user = u"u";
        server.password = u"p";
        return CProxyRoute::Through(server);
    }
};

// Echoes the proxy's token back as its own, for as many legs as the proxy asks.
class CEchoScheme : public CAuthSchemeHandler {
public:
    bool BeginProxyLogon(const CProxyServer&) override { return true; }
    bool NextProxyToken(const std::vector<std::uint8_t>& in, std::vector<std::uint8_t>& out,
                        bool& complete) override {
        out = in.empty() ? std::vector<std::uint8_t>{'x'} : in;
        complete = false;
        return true;
    }
};

void CheckChallengeReader(const std::string& bytes) {
    const WideString text = NarrowToWide(bytes);
    const std::vector<CAuthChallenge> challenges = ReadChallenges(text);
    RequireFuzzProperty(challenges.size() <= kMaxChallenges);
    for (const CAuthChallenge& challenge : challenges) {
        RequireFuzzProperty(!challenge.scheme.empty() &&
                            challenge.scheme.find_first_of(u" \t,=\"") == WideString::npos);
    }
    std::vector<std::uint8_t> decoded;
    if (Base64Decode(text, decoded)) {
        RequireFuzzProperty(NarrowToWide(Base64Encode(decoded)) == text ||
                            text.find(u'=') != WideString::npos);
    }
    const std::vector<std::uint8_t> raw(bytes.begin(), bytes.end());
    std::vector<std::uint8_t> back;
    RequireFuzzProperty(Base64Decode(NarrowToWide(Base64Encode(raw)), back) && back == raw);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kConnections = CProxyLogon::kMaxRounds + 2;
    CSocketScript script;
    script.SpeakOnly(SchemeHttps);
    FuzzPlan plan;
    for (std::size_t i = 0; i < kConnections; ++i) {
        plan = PlanFuzzConnection(data, size, script.AddConnection());
    }
    CHttpClientT<CScriptedSocket> client(script);
    CEchoScheme echo;
    client.AddSchemeHandler(u"NTLM", &echo);
    CThroughProxy chooser;
    CRequestSettings settings;
    settings.proxyChooser = &chooser;
    client.RequestUrl(u"https://h/p", &settings);
    RequireFuzzProperty(script.ConnectionsOpened() <= CProxyLogon::kMaxRounds + 1);
    for (std::size_t i = 0; i < script.ConnectionsOpened(); ++i) {
        const CScriptedConnection::Tunnel& tunnel = script.Connection(i).TunnelStarted();
        if (tunnel.started) {
            const std::size_t head = plan.peerBytes.find("\r\n\r\n");
            RequireFuzzProperty(head != std::string::npos && tunnel.host == u"h");
        }
    }
    CheckChallengeReader(plan.peerBytes);
    return 0;
}
