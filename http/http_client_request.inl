// CHttpClientT request flow: one request from URL text to the status decision, the client's
// per-request state, and the connection it keeps between requests.
#pragma once

#include <algorithm>
#include <exception>
#include <new>
#include <string>

#include "platform/hresult_exception.h"
#include "platform/text_conversion.h"

template <typename TSocket>
template <typename... SocketArgs>
CHttpClientT<TSocket>::CHttpClientT(SocketArgs&&... socketArgs)
    : TSocket(std::forward<SocketArgs>(socketArgs)...) {
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
    if (!SetCurrentUrl(url, settings_->port) ||
        !ComposeRequestHead(head, settings_->method, settings_->extraHeaders) ||
        !ConnectToServer()) {
        return false;
    }
    bool result = false;
    if (SendRequest(head) && ReceiveResponse() == kReceiveOk) {
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

// An open connection is used again only for the host and port it goes to; a request for
// another server gets a connection of its own. Exhausted memory while resolving or
// connecting fails the connect.
template <typename TSocket>
bool CHttpClientT<TSocket>::ConnectToServer() {
    const WideView host(currentUrl_.Host(), currentUrl_.HostLength());
    if (!connectedHost_.empty() &&
        (connectedHost_ != host || connectedPort_ != currentUrl_.Port())) {
        CloseConnection();
    }
    try {
        if (!BoundNextWait() || !this->ConnectTo(currentUrl_.Host(), currentUrl_.Port())) {
            return false;
        }
        connectedHost_ = host;
    } catch (const std::exception&) {
        CloseConnection();
        return false;
    }
    connectedPort_ = currentUrl_.Port();
    return true;
}

// Sets the socket's time-out for the next connect, send or receive: the settings' time-out, or
// what the exchange has left when that is less. False when nothing is left.
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
    this->ExchangeTimeout(timeout);
    return true;
}

template <typename TSocket>
void CHttpClientT<TSocket>::CloseConnection() {
    this->CloseSocket();
    connectedHost_.clear();
    connectedPort_ = 0;
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
            return AnswerChallenge(true);
        default:
            return false;
    }
}
