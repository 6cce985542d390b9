// CHttpClientT's way to the server: directly, through an http proxy that takes absolute-form
// requests, or through a CONNECT tunnel for https. Each try of the chooser's route is one
// connect; a proxy that answered (with a tunnel or with a refusal) ends the connect. The proxy
// logon (CProxyLogon) answers the proxy's 407s: on the CONNECT before the tunnel opens, and on
// the request itself for http, whose legs that do not end the logon go without the body.
//
// A tunnel is opened within one time-out from the connect to the proxy: the CONNECT, its
// logon legs and the TLS handshake with the server all fit in it, and the proxy's answers
// count against kMaxProxyAnswerBytes instead of the settings' read callback, which sees only
// the server's response. TLS names and checks the server, never the proxy.
#pragma once

#include <algorithm>
#include <exception>
#include <vector>

#include "platform/text_format.h"

// One try of the route: a direct connect, or a connect to the proxy and, for https, its tunnel.
template <typename TSocket>
typename CHttpClientT<TSocket>::Way CHttpClientT<TSocket>::ConnectVia(const CProxyTry& way) {
    viaProxy_ = false;
    if (way.direct) {
        logon_.Forget();
        if (!BoundNextWait() || !this->ConnectTo(currentUrl_.Host(), currentUrl_.Port())) {
            return Way::kUnreachable;
        }
        MarkConnected(way);
        return Way::kConnected;
    }
    const bool tunnel = currentUrl_.SchemeKind() == SchemeHttps;
    struct CTunnelScope {
        bool& opening;
        ~CTunnelScope() { opening = false; }
    } scope{openingTunnel_};
    openingTunnel_ = tunnel;
    proxyAnswerBytes_ = 0;
    tunnelDeadline_ =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(settings_->timeoutMs);
    logon_.UseProxy(way.server);
    if (!BoundNextWait() || !this->ConnectToProxy(way.server.host.c_str(), way.server.port)) {
        return Way::kUnreachable;
    }
    MarkConnected(way);
    if (!tunnel) {
        viaProxy_ = true;
        return Way::kConnected;
    }
    return OpenTunnel(way) ? Way::kConnected : Way::kRefused;
}

template <typename TSocket>
void CHttpClientT<TSocket>::MarkConnected(const CProxyTry& way) {
    connectedHost_.assign(currentUrl_.Host(), currentUrl_.HostLength());
    connectedPort_ = currentUrl_.Port();
    connectedVia_ = way;
}

// CONNECT until the proxy opens the tunnel, answering its 407s; then TLS with the server. A
// 407 that closed the connection goes on over a new one to the same proxy. Any other answer,
// 401 and 3xx among them, ends the attempt with that response kept.
template <typename TSocket>
bool CHttpClientT<TSocket>::OpenTunnel(const CProxyTry& way) {
    const CProxyServer& proxy = way.server;
    for (;;) {
        if (!SendConnectRequest() || ReceiveResponseHead() != kReceiveOk) {
            return false;
        }
        if (statusCode_ >= 200 && statusCode_ <= 299) {
            return StartTunnel();
        }
        if (ReceiveResponseBody() != kReceiveOk || statusCode_ != 407) {
            return false;
        }
        WideString challenges;
        HeaderValue(u"Proxy-Authenticate", challenges);
        const bool kept = !connectedHost_.empty();
        if (!logon_.Answer(challenges, kept)) {
            return false;
        }
        if (!kept) {
            if (!BoundNextWait() || !this->ConnectToProxy(proxy.host.c_str(), proxy.port)) {
                return false;
            }
            MarkConnected(way);
        }
    }
}

// The proxy's 2xx opened the tunnel: its own length or coding frames nothing, and every byte
// behind its head is the server's, handed to TLS as the session's first.
template <typename TSocket>
bool CHttpClientT<TSocket>::StartTunnel() {
    const std::uint32_t bodyStart = headOffset_ + headLength_;
    const std::vector<std::uint8_t> early(response_.Data() + bodyStart,
                                          response_.Data() + response_.Length());
    logon_.Accepted();
    headers_.Clear();
    response_.Clear();
    statusCode_ = -1;
    headOffset_ = 0;
    headLength_ = 0;
    const WideString host(currentUrl_.Host(), currentUrl_.HostLength());
    return BoundNextWait() && this->StartTunnelTls(host.c_str(), early.data(),
                                                   static_cast<std::uint32_t>(early.size()));
}

// "CONNECT host:port HTTP/1.1" with Host naming the same, the logon's token when there is
// one, and nothing about the request's body, which goes through the tunnel.
template <typename TSocket>
bool CHttpClientT<TSocket>::SendConnectRequest() {
    WideString text = u"CONNECT ";
    const WideString authority =
        HostForWire(WideView(currentUrl_.Host(), currentUrl_.HostLength())) +
        FormatWide(u":%u", unsigned{currentUrl_.Port()});
    text += authority + u" HTTP/1.1\r\nHost: " + authority + u"\r\n";
    if (!logon_.Authorization().empty()) {
        text += u"Proxy-Authorization: " + logon_.Authorization() + u"\r\n";
    }
    text += u"User-Agent: Ombrix-Native/8.00\r\n\r\n";
    const std::string narrow = WideToNarrow(text);
    const auto length = static_cast<std::uint32_t>(narrow.size());
    return WritePieces(reinterpret_cast<const std::uint8_t*>(narrow.data()), length, nullptr, 0) ==
           length;
}

// A 407 from the http proxy the request went to: the logon's legs, each answered in turn,
// until the proxy lets the request through; the request then goes once more with its body if
// the leg that got through had none. A connection the 407 closed is replaced by a new one.
template <typename TSocket>
bool CHttpClientT<TSocket>::AnswerProxyChallenge() {
    try {
        // The logon's rounds start afresh once a leg got through; the legs of this answer do not.
        for (int legs = 0; statusCode_ == 407; ++legs) {
            if (legs > CProxyLogon::kMaxRounds) {
                return false;
            }
            WideString challenges;
            HeaderValue(u"Proxy-Authenticate", challenges);
            const bool kept = !connectedHost_.empty();
            if (!logon_.Answer(challenges, kept) || (!kept && !ConnectToServer()) || !viaProxy_) {
                return false;
            }
            const bool withBody = logon_.NextCarriesBody();
            if (!SendLeg(withBody)) {
                return false;
            }
            if (statusCode_ != 407) {
                logon_.Accepted();
                if (!withBody && !SendLeg(true)) {
                    return false;
                }
            }
        }
    } catch (const std::exception&) {
        return false;  // exhausted memory: the 407 stands
    }
    return HandleStatus(settings_->flags);
}

// Sends the request again, with or without its body, and reads the answer.
template <typename TSocket>
bool CHttpClientT<TSocket>::SendLeg(bool withBody) {
    if (withBody && !MayRepeatBody()) {
        return false;
    }
    headers_.Clear();
    response_.Clear();
    bodyless_ = !withBody;
    WideString head;
    const bool sent =
        ComposeRequestHead(head, methodCopy_.c_str(), settings_->extraHeaders) && SendRequest(head);
    bodyless_ = false;
    return sent && ReceiveResponse() == kReceiveOk;
}

// A body in the caller's memory can go again; one from a body source only when the source
// starts over at each head.
template <typename TSocket>
bool CHttpClientT<TSocket>::MayRepeatBody() const {
    const std::uint32_t flags = settings_->flags;
    return (flags & kRequestBodyFromSource) == 0 || (flags & kRequestBodySourceRestarts) != 0;
}

// The path and query; to an http proxy the whole URL ("http://host[:port]/path?query"), the
// port only when it is not 80.
template <typename TSocket>
void CHttpClientT<TSocket>::AppendRequestTarget(WideString& text) const {
    if (viaProxy_) {
        text += u"http://";
        text += HostForWire(WideView(currentUrl_.Host(), currentUrl_.HostLength()));
        if (currentUrl_.Port() != 80) {
            text += FormatWide(u":%u", unsigned{currentUrl_.Port()});
        }
    }
    text.append(currentUrl_.Path(), currentUrl_.PathLength());
    text.append(currentUrl_.Query(), currentUrl_.QueryLength());
}

// A host as a request line names it: an IPv6 address in brackets.
template <typename TSocket>
WideString CHttpClientT<TSocket>::HostForWire(WideView host) {
    if (host.find(u':') != WideView::npos && host.front() != u'[') {
        return u"[" + WideString(host) + u"]";
    }
    return WideString(host);
}
