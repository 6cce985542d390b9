// The way through a proxy on the wire, over the scripted socket: absolute-form requests to an
// http proxy, CONNECT tunnels for https, the proxy logon's legs and the route's tries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/proxy/proxy_chooser.h"
#include "tests/http/client_fixture.h"

namespace {

const std::string kAgent = "User-Agent: Ombrix-Native/8.00\r\n";
const std::string kTunnelOk = "HTTP/1.1 200 Connection established\r\n\r\n";

class CFixedChooser : public CProxyChooser {
public:
    explicit CFixedChooser(CProxyRoute route) : route_(std::move(route)) {}
    CProxyRoute RouteFor(const CParsedUrl& url) override {
        asked.emplace_back(url.Host(), url.HostLength());
        return route_;
    }
    std::vector<WideString> asked;

private:
    CProxyRoute route_;
};

CProxyServer Proxy(const char16_t* host, std::uint16_t port, bool credentials = false) {
    CProxyServer server;
    server.host = host;
    server.port = port;
    if (credentials) {
        server.hasCredentials = true;
        server.user = u"user";
        server.password = u"pass";
    }
    return server;
}

// A connection-bound scheme of two legs: "one" first, then "three" for the proxy's "two".
class CTwoLegScheme : public CAuthSchemeHandler {
public:
    bool BeginProxyLogon(const CProxyServer& proxy) override {
        begun.push_back(proxy.host);
        return true;
    }
    bool NextProxyToken(const std::vector<std::uint8_t>& in, std::vector<std::uint8_t>& out,
                        bool& complete) override {
        const std::string proxyToken(in.begin(), in.end());
        if (!proxyToken.empty() && proxyToken != "two") {
            return false;
        }
        const std::string token = proxyToken.empty() ? "one" : "three";
        out.assign(token.begin(), token.end());
        complete = !proxyToken.empty();
        return true;
    }
    std::vector<WideString> begun;
};

// A client of the script whose requests take the chooser's route (settings.proxyChooser), with
// the two-leg scheme registered as NTLM.
class CProxiedClient : public CTestClient {
public:
    CProxiedClient(CSocketScript& script, CProxyRoute route)
        : CTestClient(script), chooser(std::move(route)) {
        AddSchemeHandler(u"NTLM", &twoLeg);
        settings.proxyChooser = &chooser;
    }
    // settings as a POST of "body" (x/y).
    void PostBody() {
        settings.AssignMethod(u"POST");
        settings.AssignPostData(reinterpret_cast<const std::uint8_t*>("body"), 4, u"x/y");
    }

    CTwoLegScheme twoLeg;
    CFixedChooser chooser;
    CRequestSettings settings;
};

// base64 of the test tokens.
const std::string kOne = "b25l", kTwo = "dHdv", kThree = "dGhyZWU=", kUserPass = "dXNlcjpwYXNz";

std::string Connect(const std::string& authority, const std::string& authorization = "") {
    return "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n" +
           (authorization.empty() ? "" : "Proxy-Authorization: " + authorization + "\r\n") +
           kAgent + "\r\n";
}

// One connection of the script for each list, its reads delivering the list's answers in turn.
void AddConnections(CSocketScript& script, const std::vector<std::vector<std::string>>& answers) {
    for (const std::vector<std::string>& connectionAnswers : answers) {
        CScriptedConnection& connection = script.AddConnection();
        for (const std::string& answer : connectionAnswers) {
            connection.Reply(answer);
        }
    }
}

std::string ProxyRefusal(const std::string& challenges, const std::string& body = "no") {
    return Response(407, challenges, body);
}

TEST(HttpClientProxy, HttpGoesToTheProxyInAbsoluteForm) {
    const struct {
        const char* name;
        const char16_t* url;
        bool credentials;
        std::string expected;
    } cases[] = {
        {"default port", u"http://h/up?x=1", false,
         "GET http://h/up?x=1 HTTP/1.1\r\nHost: h\r\n" + kAgent + "\r\n"},
        {"own port", u"http://h:8080/up", false,
         "GET http://h:8080/up HTTP/1.1\r\nHost: h\r\n" + kAgent + "\r\n"},
        {"Basic with the first request", u"http://h/", true,
         "GET http://h/ HTTP/1.1\r\nProxy-Authorization: Basic " + kUserPass + "\r\nHost: h\r\n" +
             kAgent + "\r\n"},
    };
    for (const auto& c : cases) {
        CSocketScript script;
        script.AddConnection().Reply(kEmptyOk);
        CProxiedClient client(script, CProxyRoute::Through(Proxy(u"p", 3128, c.credentials)));
        EXPECT_TRUE(client.RequestUrl(c.url, &client.settings)) << c.name;
        EXPECT_EQ(script.Connection(0).Sent(), c.expected) << c.name;
        ASSERT_EQ(script.Connects().size(), 1u);
        EXPECT_EQ(script.Connects()[0].first, u"proxy p") << c.name;
        EXPECT_EQ(script.Connects()[0].second, 3128) << c.name;
    }
}

TEST(HttpClientProxy, HttpsGoesThroughATunnelToTheServer) {
    const struct {
        const char* name;
        std::string answer;  // the proxy's answer, the server's bytes behind it
        std::string early;
    } cases[] = {
        {"bare", kTunnelOk, ""},
        {"HTTP/1.0 with a length and TLS bytes behind",
         "HTTP/1.0 200 Connection established\r\nContent-Length: 5\r\nProxy-agent: t\r\n\r\n"
         "\x16\x03\x01\x00\x2a",
         "\x16\x03\x01\x00\x2a"},
        {"chunked coding ignored", "HTTP/1.1 204 OK\r\nTransfer-Encoding: chunked\r\n\r\nxyz",
         "xyz"},
    };
    for (const auto& c : cases) {
        CSocketScript script;
        script.SpeakOnly(SchemeHttps);
        script.AddConnection().Reply(c.answer).Reply(kEmptyOk);
        CProxiedClient client(script, CProxyRoute::Through(Proxy(u"p", 3128)));
        client.PostBody();
        EXPECT_TRUE(client.RequestUrl(u"https://h/up", &client.settings)) << c.name;
        const CScriptedConnection& connection = script.Connection(0);
        const auto& tunnel = connection.TunnelStarted();
        ASSERT_TRUE(tunnel.started) << c.name;
        EXPECT_EQ(tunnel.host, u"h") << c.name;
        EXPECT_EQ(tunnel.early, c.early) << c.name;
        EXPECT_EQ(connection.Sent().substr(0, tunnel.sentBefore), Connect("h:443")) << c.name;
        EXPECT_EQ(connection.Sent().substr(tunnel.sentBefore),
                  "POST /up HTTP/1.1\r\nContent-Length: 4\r\nContent-Type: x/y\r\nHost: h\r\n" +
                      kAgent + "\r\nbody")
            << c.name;
    }
}

TEST(HttpClientProxy, AnIpv6HostIsBracketedOnTheWire) {
    for (const UrlSchemeKind scheme : {SchemeHttp, SchemeHttps}) {
        CSocketScript script;
        script.SpeakOnly(scheme);
        CScriptedConnection& connection = script.AddConnection();
        if (scheme == SchemeHttps) {
            connection.Reply(kTunnelOk);
        }
        connection.Reply(kEmptyOk);
        CProxiedClient client(script, CProxyRoute::Through(Proxy(u"p", 3128)));
        CParsedUrl url;
        ASSERT_TRUE(url.Parse(scheme == SchemeHttps ? u"https://h:8443/a" : u"http://h:8080/a"));
        ASSERT_TRUE(url.SetHost(u"2001:db8::1"));
        EXPECT_TRUE(client.RequestParsedUrl(&url, &client.settings));
        const std::string expected =
            scheme == SchemeHttps
                ? Connect("[2001:db8::1]:8443")
                : "GET http://[2001:db8::1]:8080/a HTTP/1.1\r\nHost: 2001:db8::1\r\n";
        EXPECT_EQ(script.Connection(0).Sent().substr(0, expected.size()), expected);
    }
}

// Every 407 is read whole, however it is framed, before the next leg goes; one that ran to the
// close (or asked to close) moves the logon to a new connection, where it starts over.
TEST(HttpClientProxy, RefusalsToAConnectAreDrainedAndTheLogonGoesOn) {
    const std::string challenge = "Proxy-Authenticate: NTLM\r\n";
    const std::string withToken = "Proxy-Authenticate: NTLM " + kTwo + "\r\n";
    const struct {
        const char* name;
        std::vector<std::vector<std::string>> connections;  // each connection's answers
        std::vector<std::string> sent;  // what went out on each, up to the tunnel
    } cases[] = {
        {"counted",
         {{ProxyRefusal(challenge, "abc"), ProxyRefusal(withToken, "defg"), kTunnelOk, kEmptyOk}},
         {Connect("h:443") + Connect("h:443", "NTLM " + kOne) +
          Connect("h:443", "NTLM " + kThree)}},
        {"chunked",
         {{"HTTP/1.1 407 X\r\n" + challenge +
               "Transfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n",
           "HTTP/1.1 407 X\r\n" + withToken +
               "Transfer-Encoding: chunked\r\n\r\n2\r\nde\r\n0\r\n\r\n",
           kTunnelOk, kEmptyOk}},
         {Connect("h:443") + Connect("h:443", "NTLM " + kOne) +
          Connect("h:443", "NTLM " + kThree)}},
        {"read to the close",
         {{"HTTP/1.0 407 X\r\n" + challenge + "\r\nbody to the close"},
          {ProxyRefusal(withToken), kTunnelOk, kEmptyOk}},
         {Connect("h:443"), Connect("h:443", "NTLM " + kOne) + Connect("h:443", "NTLM " + kThree)}},
        {"asked to close in the middle",
         {{ProxyRefusal(challenge),
           "HTTP/1.1 407 X\r\nConnection: close\r\n" + withToken + "Content-Length: 0\r\n\r\n"},
          {ProxyRefusal(withToken), kTunnelOk, kEmptyOk}},
         {Connect("h:443") + Connect("h:443", "NTLM " + kOne),
          Connect("h:443", "NTLM " + kOne) + Connect("h:443", "NTLM " + kThree)}},
    };
    for (const auto& c : cases) {
        CSocketScript script;
        script.SpeakOnly(SchemeHttps);
        AddConnections(script, c.connections);
        CProxiedClient client(script, CProxyRoute::Through(Proxy(u"p", 3128)));
        EXPECT_TRUE(client.RequestUrl(u"https://h/", &client.settings)) << c.name;
        ASSERT_EQ(script.ConnectionsOpened(), c.sent.size()) << c.name;
        for (std::size_t i = 0; i < c.sent.size(); ++i) {
            const CScriptedConnection& connection = script.Connection(i);
            const bool last = i + 1 == c.sent.size();
            EXPECT_EQ(connection.TunnelStarted().started, last) << c.name << " " << i;
            EXPECT_EQ(connection.Sent().substr(
                          0, last ? connection.TunnelStarted().sentBefore : std::string::npos),
                      c.sent[i])
                << c.name << " " << i;
        }
        // The logon starts once, and again on each new connection it is moved to mid-way.
        std::size_t starts = 0;
        for (const std::string& sent : c.sent) {
            for (std::size_t at = sent.find("NTLM " + kOne); at != std::string::npos;
                 at = sent.find("NTLM " + kOne, at + 1)) {
                ++starts;
            }
        }
        EXPECT_EQ(client.twoLeg.begun.size(), starts) << c.name;
    }
}

// Which scheme answers a 407, and when the logon gives up: the last response's challenges
// only, the strongest scheme first, at most three answers.
TEST(HttpClientProxy, TheLogonAnswersTheLastChallengesWithTheStrongestScheme) {
    const std::string negotiate = "Negotiate " + kOne;
    const struct {
        const char* name;
        bool credentials;
        std::vector<std::string> answers;  // the proxy's answers to the CONNECTs in turn
        std::vector<std::string> authorizations;
        bool opened;
    } cases[] = {
        {"several schemes in one field",
         false,
         {ProxyRefusal("Proxy-Authenticate: NTLM, Negotiate, Basic realm=\"r\"\r\n"), kTunnelOk},
         {"", negotiate},
         true},
        {"Basic at once, then a stronger scheme",
         true,
         {ProxyRefusal("Proxy-Authenticate: Basic realm=\"r\"\r\nProxy-Authenticate: NTLM\r\n"),
          ProxyRefusal("Proxy-Authenticate: NTLM " + kTwo + "\r\n"), kTunnelOk},
         {"Basic " + kUserPass, "NTLM " + kOne, "NTLM " + kThree},
         true},
        {"a stale challenge is not answered",
         false,
         {ProxyRefusal("Proxy-Authenticate: NTLM\r\n"),
          ProxyRefusal("Proxy-Authenticate: Basic realm=\"r\"\r\n")},
         {"", "NTLM " + kOne},
         false},
        {"a refused last leg ends the logon",
         false,
         {ProxyRefusal("Proxy-Authenticate: Negotiate\r\n"),
          ProxyRefusal("Proxy-Authenticate: Negotiate\r\n")},
         {"", negotiate},
         false},
        {"three answers at most",
         false,
         {ProxyRefusal("Proxy-Authenticate: NTLM\r\n"),
          ProxyRefusal("Proxy-Authenticate: NTLM " + kTwo + "\r\n"),
          ProxyRefusal("Proxy-Authenticate: Negotiate\r\n"),
          ProxyRefusal("Proxy-Authenticate: Negotiate\r\n")},
         {"", "NTLM " + kOne, "NTLM " + kThree, negotiate},
         false},
        {"nothing to answer with",
         false,
         {ProxyRefusal("Proxy-Authenticate: Digest realm=\"r\", nonce=\"n\"\r\n")},
         {""},
         false},
    };
    // One leg, complete at once.
    class COneLegScheme : public CAuthSchemeHandler {
    public:
        bool BeginProxyLogon(const CProxyServer&) override { return true; }
        bool NextProxyToken(const std::vector<std::uint8_t>&, std::vector<std::uint8_t>& out,
                            bool& complete) override {
            out = {'o', 'n', 'e'};
            complete = true;
            return true;
        }
    };
    for (const auto& c : cases) {
        CSocketScript script;
        script.SpeakOnly(SchemeHttps);
        CScriptedConnection& connection = script.AddConnection();
        for (const std::string& answer : c.answers) {
            connection.Reply(answer);
        }
        connection.Reply(kEmptyOk);
        CProxiedClient client(script, CProxyRoute::Through(Proxy(u"p", 3128, c.credentials)));
        COneLegScheme negotiateScheme;
        client.AddSchemeHandler(u"Negotiate", &negotiateScheme);
        EXPECT_EQ(client.RequestUrl(u"https://h/", &client.settings), c.opened) << c.name;
        std::string expected;
        for (const std::string& authorization : c.authorizations) {
            expected += Connect("h:443", authorization);
        }
        const auto& tunnel = connection.TunnelStarted();
        EXPECT_EQ(tunnel.started, c.opened) << c.name;
        EXPECT_EQ(connection.Sent().substr(0, c.opened ? tunnel.sentBefore : std::string::npos),
                  expected)
            << c.name;
        if (!c.opened) {
            EXPECT_EQ(client.StatusCode(), 407) << c.name;
        }
    }
}

// A proxy that answers a CONNECT with anything but 2xx or 407 ends the attempt: no TLS, no
// redirect, no logon, no other proxy.
TEST(HttpClientProxy, OtherAnswersToAConnectEndTheAttempt) {
    const struct {
        int status;
        const char* headers;
    } cases[] = {{401, "WWW-Authenticate: Basic realm=\"r\"\r\n"},
                 {302, "Location: https://elsewhere/\r\n"},
                 {502, ""}};
    for (const auto& c : cases) {
        CSocketScript script;
        script.SpeakOnly(SchemeHttps);
        script.AddConnection().Reply(Response(c.status, c.headers, "refused"));
        script.AddConnection().Reply(kTunnelOk + kEmptyOk);
        CProxyRoute route;
        route.Append(CProxyTry::Through(Proxy(u"p", 3128, true)));
        route.Append(CProxyTry::Through(Proxy(u"q", 3128)));
        CProxiedClient client(script, route);
        EXPECT_FALSE(client.RequestUrl(u"https://h/", &client.settings)) << c.status;
        EXPECT_EQ(client.StatusCode(), c.status);
        EXPECT_EQ(client.Body(), "refused");
        EXPECT_EQ(script.ConnectionsOpened(), 1u) << c.status;
        EXPECT_FALSE(script.Connection(0).TunnelStarted().started) << c.status;
        EXPECT_TRUE(script.Connection(0).ClosedByClient()) << c.status;
    }
}

TEST(HttpClientProxy, TheRoutesTriesAreTakenInOrderWhileNoneConnects) {
    CProxyRoute route;
    route.Append(CProxyTry::Through(Proxy(u"a", 3128)));
    route.Append(CProxyTry::Through(Proxy(u"b", 8080)));
    route.Append(CProxyTry::Direct());
    const struct {
        const char* name;
        int refused;
        std::vector<WideString> connects;
        std::string target;
    } cases[] = {
        {"first", 0, {u"proxy a"}, "http://h/"},
        {"second", 1, {u"proxy b"}, "http://h/"},
        {"direct in its place", 2, {u"h"}, "/"},
    };
    for (const auto& c : cases) {
        CSocketScript script;
        for (int i = 0; i < c.refused; ++i) {
            script.RefuseNextConnect(10061);
        }
        script.AddConnection().Reply(kEmptyOk);
        CProxiedClient client(script, route);
        EXPECT_TRUE(client.RequestUrl(u"http://h/", &client.settings)) << c.name;
        std::vector<WideString> connects;
        for (const auto& connect : script.Connects()) {
            connects.push_back(connect.first);
        }
        EXPECT_EQ(connects, c.connects) << c.name;
        EXPECT_EQ(script.Connection(0).Sent().substr(0, 4 + c.target.size()), "GET " + c.target)
            << c.name;
    }
}

// Through an http proxy the logon's legs that do not end it go without the body; the body goes
// with the last leg, and once more if a bodiless leg was let through. A proxy that answers
// before taking the whole body gets a new connection.
TEST(HttpClientProxy, AnHttpUploadSendsItsBodyOnlyOnLegsThatMayPass) {
    const std::string head = "POST http://h/up HTTP/1.1\r\n";
    const std::string full = head + "Content-Length: 4\r\nContent-Type: x/y\r\n";
    const std::string empty = head + "Content-Length: 0\r\n";
    const std::string host = "Host: h\r\n" + kAgent + "\r\n";
    const std::string challenge = "Proxy-Authenticate: NTLM\r\n";
    const std::string withToken = "Proxy-Authenticate: NTLM " + kTwo + "\r\n";
    const auto leg = [&](const std::string& start, const std::string& token) {
        return start + "Proxy-Authorization: NTLM " + token + "\r\n" + host;
    };
    const struct {
        const char* name;
        std::vector<std::vector<std::string>> replies;
        std::size_t acceptOnly;  // bytes the first connection takes (0: all)
        std::vector<std::string> sent;
    } cases[] = {
        {"two legs",
         {{ProxyRefusal(challenge), ProxyRefusal(withToken), kEmptyOk}},
         0,
         {full + host + "body" + leg(empty, kOne) + leg(full, kThree) + "body"}},
        {"a bodiless leg let through",
         {{ProxyRefusal(challenge), kEmptyOk, kEmptyOk}},
         0,
         {full + host + "body" + leg(empty, kOne) + full + host + "body"}},
        {"an answer before the whole body",
         {{ProxyRefusal(challenge)}, {ProxyRefusal(withToken), kEmptyOk}},
         20,
         {(full + host).substr(0, 20), leg(empty, kOne) + leg(full, kThree) + "body"}},
    };
    for (const auto& c : cases) {
        CSocketScript script;
        AddConnections(script, c.replies);
        if (c.acceptOnly > 0) {
            script.Connection(0).AcceptOnly(c.acceptOnly);
        }
        CProxiedClient client(script, CProxyRoute::Through(Proxy(u"p", 3128)));
        client.PostBody();
        EXPECT_TRUE(client.RequestUrl(u"http://h/up", &client.settings)) << c.name;
        ASSERT_EQ(script.ConnectionsOpened(), c.sent.size()) << c.name;
        for (std::size_t i = 0; i < c.sent.size(); ++i) {
            EXPECT_EQ(script.Connection(i).Sent(), c.sent[i]) << c.name << " " << i;
        }
    }
}

// A proxy that lets every bodiless leg through and refuses every request with the body: the
// legs stop after a few rounds instead of alternating for as long as the time allows.
TEST(HttpClientProxy, AProxyThatRefusesOnlyTheBodyEndsTheRequest) {
    CSocketScript script;
    std::vector<std::string> answers;
    for (int i = 0; i < 50; ++i) {
        answers.push_back(ProxyRefusal("Proxy-Authenticate: NTLM\r\n"));
        answers.push_back(kEmptyOk);
    }
    AddConnections(script, {answers});
    CProxiedClient client(script, CProxyRoute::Through(Proxy(u"p", 3128)));
    client.PostBody();
    EXPECT_FALSE(client.RequestUrl(u"http://h/up", &client.settings));
    const std::string& sent = script.Connection(0).Sent();
    std::size_t requests = 0;
    for (std::size_t at = sent.find("POST "); at != std::string::npos;
         at = sent.find("POST ", at + 1)) {
        ++requests;
    }
    EXPECT_LE(requests, 1u + 2 * (CProxyLogon::kMaxRounds + 1));
    EXPECT_EQ(client.StatusCode(), 407);
}

TEST(HttpClientProxy, ARedirectAsksTheChooserAgain) {
    CSocketScript script;
    script.AddConnection().Reply(Response(302, "Location: http://other/next\r\n", ""));
    script.AddConnection().Reply(kEmptyOk);
    CProxiedClient client(script, CProxyRoute::Through(Proxy(u"p", 3128)));
    EXPECT_TRUE(client.RequestUrl(u"http://h/", &client.settings));
    EXPECT_EQ(client.chooser.asked, (std::vector<WideString>{u"h", u"other"}));
    const std::string line = "GET http://other/next HTTP/1.1\r\n";
    EXPECT_EQ(script.Connection(1).Sent().substr(0, line.size()), line);
}

// The proxy's answers to a CONNECT are bounded on their own; the settings' read callback never
// sees them.
TEST(HttpClientProxy, AnEndlessAnswerToAConnectIsCutAndNotReported) {
    CSocketScript script;
    script.SpeakOnly(SchemeHttps);
    CScriptedConnection& connection = script.AddConnection();
    connection.Reply("HTTP/1.1 200 OK\r\n");
    for (int i = 0; i < 1000; ++i) {
        connection.Reply("X-Filler: " + std::string(1024, 'x') + "\r\n");
    }
    CProxiedClient client(script, CProxyRoute::Through(Proxy(u"p", 3128)));
    ReadLog log;
    CRequestSettings settings = log.Settings();
    settings.proxyChooser = &client.chooser;
    EXPECT_FALSE(client.RequestUrl(u"https://h/", &settings));
    EXPECT_FALSE(connection.TunnelStarted().started);
    EXPECT_TRUE(log.counts.empty());
    // Reads of about a kilobyte each: the answer is cut once it passes the bound.
    EXPECT_LE(connection.ReadsMade(), 2 + int{CScriptedClient::kMaxProxyAnswerBytes / 1024});
}

}  // namespace
