// CHttpClientT request flow: one request from URL text to the status decision, the client's
// per-request state, and the connection it keeps between requests.
#pragma once

#include <algorithm>
#include <exception>
#include <new>
#include <string>

#include "net/proxy/proxy_chooser.h"
#include "platform/hresult_exception.h"
#include "platform/text_conversion.h"

template <typename TSocket>
template <typename... SocketArgs>
CHttpClientT<TSocket>::CHttpClientT(SocketArgs&&... socketArgs)
    : TSocket(std::forward<SocketArgs>(socketArgs)...), logon_([this](WideView scheme) {
          CAuthSchemeHandler* handler = nullptr;
          return schemes_.Find(scheme, handler) ? handler : nullptr;
      }) {
    CloseConnection();
    ResetForRequest();
}

template <typename TSocket>
bool CHttpClientT<TSocket>::RequestUrl(const char16_t* url, const CRequestSettings* settings) {
    if (url == nullptr || url[0] == 0) {
        return false;
    }
    constexpr std::uint32_t kEscapedCapacity = 2083;
    char16_t escaped[kEscapedCapacity];
    CParsedUrl parsed;
    try {
        if (!EscapeUrlText(url, escaped, kEscapedCapacity) || !parsed.Parse(escaped)) {
            return false;
        }
    } catch (const CHresultException&) {
        return false;
    }
    return RequestParsedUrl(&parsed, settings);
}

template <typename TSocket>
bool CHttpClientT<TSocket>::RequestParsedUrl(const CParsedUrl* url,
                                             const CRequestSettings* settings) {
    if (url == nullptr) {
        return false;
    }
    ResetForRequest();
    const CRequestSettings defaults;
    settings_ = settings != nullptr ? settings : &defaults;
    const bool result = RunRequest(*url);
    settings_ = nullptr;
    return result;
}

template <typename TSocket>
bool CHttpClientT<TSocket>::RunRequest(const CParsedUrl& url) {
    try {
        methodCopy_ = WideViewOf(settings_->method);
    } catch (const CHresultException&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    this->ExchangeTimeout(settings_->timeoutMs);
    WideString head;
    // The head follows the connect: whether it goes to a proxy decides its target.
    if (!SetCurrentUrl(url, settings_->port) || !ConnectToServer() ||
        !ComposeRequestHead(head, settings_->method, settings_->extraHeaders)) {
        CloseConnection();
        return false;
    }
    bool result = false;
    bool sent = SendRequest(head);
    if (!sent && viaProxy_ && !connectedHost_.empty()) {
        // A proxy that wants a logon may answer before it has taken the whole body; the
        // connection, its body cut short, is not used again.
        sent = ReceiveResponse() == kReceiveOk && statusCode_ == 407;
        CloseConnection();
    } else if (sent) {
        sent = ReceiveResponse() == kReceiveOk;
    }
    if (sent) {
        result = (settings_->flags & kRequestCheckStatus) == 0 || HandleStatus(settings_->flags);
    }
    if (!result) {
        CloseConnection();
    }
    return result;
}

template <typename TSocket>
void CHttpClientT<TSocket>::ResetForRequest() {
    headers_.Clear();
    response_.Clear();
    currentUrl_.Reset();
    methodCopy_.clear();
    statusCode_ = -1;
    headOffset_ = 0;
    headLength_ = 0;
    bodyLength_ = 0;
    scanPos_ = nullptr;
    dataEnd_ = nullptr;
    headSearchedTo_ = 0;
    settings_ = nullptr;
    lastReceiveResult_ = kReceiveNotDone;
    redirectsFollowed_ = 0;
}

template <typename TSocket>
bool CHttpClientT<TSocket>::SetCurrentUrl(const CParsedUrl& url, std::uint16_t defaultPort) {
    currentUrl_ = url;
    return CompleteCurrentUrl(defaultPort);
}

template <typename TSocket>
bool CHttpClientT<TSocket>::SetCurrentUrl(const WideString& url, std::uint16_t defaultPort) {
    return currentUrl_.Parse(url.c_str()) && CompleteCurrentUrl(defaultPort);
}

template <typename TSocket>
bool CHttpClientT<TSocket>::CompleteCurrentUrl(std::uint16_t defaultPort) {
    // The socket type decides: plain http over CEventSyncSocket, https only over CTlsSocket.
    if (!this->IsSchemeSupported(currentUrl_.SchemeKind())) {
        return false;
    }
    if (currentUrl_.PathLength() == 0) {
        currentUrl_.SetPath(u"/");
    }
    if (currentUrl_.HostLength() == 0) {
        return false;
    }
    if (currentUrl_.Port() == 0) {
        currentUrl_.SetPort(defaultPort);
    }
    return true;
}

// An open connection is used again only for the host and port it goes to, and only while the
// proxy chooser still names the way it takes; a request for another server gets a connection
// of its own. The chooser's tries are taken in order, the next only when a connection could
// not be made; once a proxy has answered, its answer ends the connect. No chooser, or its
// empty route, connects directly. Exhausted memory while choosing, resolving or connecting
// fails the connect.
template <typename TSocket>
bool CHttpClientT<TSocket>::ConnectToServer() {
    const WideView host(currentUrl_.Host(), currentUrl_.HostLength());
    try {
        CProxyRoute route;
        if (settings_->proxyChooser != nullptr) {
            route = settings_->proxyChooser->RouteFor(currentUrl_);
        }
        const std::vector<CProxyTry> direct{CProxyTry::Direct()};
        const std::vector<CProxyTry>& tries = route.IsDirectOnly() ? direct : route.Tries();
        if (!connectedHost_.empty() &&
            (connectedHost_ != host || connectedPort_ != currentUrl_.Port() ||
             std::find(tries.begin(), tries.end(), connectedVia_) == tries.end())) {
            CloseConnection();
        }
        if (!connectedHost_.empty()) {
            return true;
        }
        for (const CProxyTry& way : tries) {
            const Way outcome = ConnectVia(way);
            if (outcome == Way::kConnected) {
                return true;
            }
            CloseConnection();
            if (outcome == Way::kRefused) {
                return false;
            }
        }
    } catch (const std::exception&) {
        CloseConnection();
    }
    return false;
}

// Sets the socket's time-out for the next connect, send or receive: the settings' time-out, or
// what the exchange (or the tunnel being opened) has left when that is less. False when
// nothing is left.
template <typename TSocket>
bool CHttpClientT<TSocket>::BoundNextWait() {
    std::uint32_t timeout = settings_->timeoutMs;
    if (settings_->timeLeft != nullptr) {
        const std::uint32_t left = settings_->timeLeft(settings_->timeLeftValue);
        if (left == 0) {
            return false;
        }
        timeout = std::min(timeout, left);
    }
    if (openingTunnel_) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            tunnelDeadline_ - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        timeout = static_cast<std::uint32_t>(std::min<std::int64_t>(timeout, left.count()));
    }
    this->ExchangeTimeout(timeout);
    return true;
}

template <typename TSocket>
void CHttpClientT<TSocket>::CloseConnection() {
    this->CloseSocket();
    connectedHost_.clear();
    connectedPort_ = 0;
    connectedVia_ = CProxyTry::Direct();
}

template <typename TSocket>
bool CHttpClientT<TSocket>::HandleStatus(std::uint32_t flags) {
    switch (statusCode_) {
        case 200:
        case 201:
        case 202:
        case 203:
        case 204:
        case 205:
        case 206:
        case 304:
        case 305:
            return true;
        case 301:
        case 302:
        case 303:
            return (flags & kRequestFollowRedirects) != 0 && FollowRedirect();
        case 401:
            return AnswerChallenge(false);
        case 407:
            return viaProxy_ ? AnswerProxyChallenge() : AnswerChallenge(true);
        default:
            return false;
    }
}
