// CHttpClientT: an HTTP/1.1 client that carries one request at a time over the single
// connection it is: the client derives from its socket type (CEventSyncSocket in the
// program, a scripted socket in tests). RequestUrl escapes and parses a URL, connects,
// writes the request head and body, reads the whole response into the client's own buffer
// and judges the status; the response stays readable until the next request. Redirects
// (301, 302, 303) are followed up to ten deep with the whole request repeated; a 401 or 407
// goes through the zone check and the scheme registry. The socket type names the schemes it
// speaks (IsSchemeSupported): http over CEventSyncSocket, https over CTlsSocket. A proxy
// chooser in the settings may send the connection through proxies: http as absolute-form
// requests to the proxy, https through a CONNECT tunnel, with the proxy logon of CProxyLogon.
//
// The operations are spread over files by job:
//   http_client_request.inl   request flow, status decision, connection
//   http_client_send.inl      request head and the four send modes
//   http_client_head.inl      response head: status line, header lines, header lookups
//   http_client_body.inl      response body: counted, read to close, chunked
//   http_client_redirect.inl  redirects
//   http_client_auth.inl      authentication negotiation
//   http_client_proxy.inl     the way to the server: direct, through a proxy, through a tunnel
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "http/auth_scheme_handler.h"
#include "http/chunk_scan.h"
#include "http/chunk_work_buffer.h"
#include "http/header_map.h"
#include "http/proxy_logon.h"
#include "http/request_settings.h"
#include "http/response_buffer.h"
#include "http/response_receive_result.h"
#include "net/proxy/proxy_route.h"
#include "net/socket/socket_buffer.h"
#include "net/url/parsed_url.h"
#include "platform/wide_text.h"

template <typename TSocket>
class CHttpClientT : private TSocket {
public:
    // Redirects followed within one request; a further one ends the request with false.
    static constexpr int kMaxRedirects = 10;

    // The arguments, if any, go to the socket part.
    template <typename... SocketArgs>
    explicit CHttpClientT(SocketArgs&&... socketArgs);
    virtual ~CHttpClientT() = default;
    CHttpClientT(const CHttpClientT&) = delete;
    CHttpClientT& operator=(const CHttpClientT&) = delete;

    // Carries out one request; settings may be null (defaults). True when the response was
    // read in full and, with kRequestCheckStatus, its status counts as success.
    bool RequestUrl(const char16_t* url, const CRequestSettings* settings);
    bool RequestParsedUrl(const CParsedUrl* url, const CRequestSettings* settings);

    // The raw response of the last request (head, then body); a zero byte follows it.
    const std::uint8_t* ResponseData() const noexcept { return response_.Data(); }
    std::uint32_t ResponseLength() const noexcept { return response_.Length(); }
    // Status of the last response; -1 when no status line was read.
    std::int32_t StatusCode() const noexcept { return statusCode_; }
    std::uint32_t HeadOffset() const noexcept { return headOffset_; }
    std::uint32_t HeadLength() const noexcept { return headLength_; }
    std::uint32_t BodyLength() const noexcept { return bodyLength_; }
    ResponseReceiveResult LastReceiveResult() const noexcept { return lastReceiveResult_; }
    const CParsedUrl& CurrentUrl() const noexcept { return currentUrl_; }
    // Every www-authenticate and proxy-authenticate value since the client was made.
    const std::vector<WideString>& Challenges() const noexcept { return challenges_; }

    // Value of a header of the last response (name case ignored); false when absent.
    bool HeaderValue(WideView name, WideString& value) const;
    // Copies a header value and its terminator into buffer. size (in characters, terminator
    // included) is in and out: too small, or given without a buffer, it receives the needed
    // size and nothing is copied (true). No size: false, since nothing bounds the copy.
    bool CopyHeaderValue(WideView name, char16_t* buffer, std::uint32_t* size) const;

    // Registers a handler (not owned, outliving the client's requests) for an authentication
    // scheme.
    void AddSchemeHandler(WideView scheme, CAuthSchemeHandler* handler);

    // What a proxy may send in answer to a CONNECT, head and body together, before the tunnel
    // opens or the attempt ends: a few kilobytes in practice.
    static constexpr std::uint32_t kMaxProxyAnswerBytes = 256 * 1024;

protected:
    // Answers a 401 (forProxy false) or 407 challenge; true lets the response stand as success.
    virtual bool AnswerChallenge(bool forProxy);
    // Called with the value of each set-cookie header as it is filed.
    virtual void OnCookieHeader(const WideString& value);

private:
    // Request flow (http_client_request.inl).
    bool RunRequest(const CParsedUrl& url);
    void ResetForRequest();
    bool SetCurrentUrl(const CParsedUrl& url, std::uint16_t defaultPort);
    bool SetCurrentUrl(const WideString& url, std::uint16_t defaultPort);
    bool CompleteCurrentUrl(std::uint16_t defaultPort);
    bool ConnectToServer();
    void CloseConnection();
    bool HandleStatus(std::uint32_t flags);
    bool BoundNextWait();

    // Request head and send modes (http_client_send.inl).
    bool ComposeRequestHead(WideString& head, const char16_t* method, const char16_t* extraHeaders);
    bool SendRequest(const WideString& head);
    std::uint64_t SendHeadOnly(const std::uint8_t* head, std::uint32_t headLength);
    std::uint64_t SendHeadAndBody(const std::uint8_t* head, std::uint32_t headLength);
    std::uint64_t SendBodyInBlocks(const std::uint8_t* head, std::uint32_t headLength);
    std::uint64_t SendBodyFromSource(const std::uint8_t* head, std::uint32_t headLength);
    std::uint32_t WritePieces(const std::uint8_t* first, std::uint32_t firstLength,
                              const std::uint8_t* second, std::uint32_t secondLength);
    bool ReportSent(std::uint32_t count) const;

    // The way to the server (http_client_proxy.inl).
    enum class Way { kConnected, kUnreachable, kRefused };
    Way ConnectVia(const CProxyTry& way);
    void MarkConnected(const CProxyTry& way);
    bool OpenTunnel(const CProxyTry& way);
    bool StartTunnel();
    bool SendConnectRequest();
    bool AnswerProxyChallenge();
    bool SendLeg(bool withBody);
    bool MayRepeatBody() const;
    void AppendRequestTarget(WideString& text) const;
    static WideString HostForWire(WideView host);

    // Response head (http_client_head.inl).
    ResponseReceiveResult ReceiveResponse();
    ResponseReceiveResult ReceiveResponseHead();
    ResponseReceiveResult ReceiveResponseBody();
    ResponseReceiveResult ReceiveHead();
    bool ReceiveInto(std::uint8_t* buffer, std::uint32_t room, std::uint32_t& size);
    bool ReportRead(std::uint32_t count);
    bool AppendReceived(const std::uint8_t* bytes, std::uint32_t count);
    bool ReceiveMore();
    const std::uint8_t* LocateHeadEnd(const std::uint8_t*& headStart);
    const std::uint8_t* ReadStatusLine(const std::uint8_t* lineStart);
    int ParseHeaderBlock(const std::uint8_t* headStart, const std::uint8_t*& bodyStart);
    const std::uint8_t* HeaderLineEnd(const std::uint8_t* lineStart) const;
    const std::uint8_t* NextLineStart(const std::uint8_t* position) const;
    bool IsHeadEndAt(const std::uint8_t* position) const;
    bool StoreHeaderLine(const std::uint8_t* lineStart, const std::uint8_t* lineEnd);
    void FileHeader(const WideString& name, const WideString& value);
    bool HeaderEquals(WideView name, WideView expected) const;
    void CloseIfServerAsked(bool bodyRanToClose);
    bool IsHttp10WithoutKeepAlive() const;

    // Response body (http_client_body.inl).
    bool HasChunkedCoding() const;
    std::int32_t DeclaredContentLength() const;
    bool ReceiveCountedBody(std::int32_t contentLength, std::uint32_t bytesSoFar);
    bool ReadCounted(std::uint8_t* block, std::uint32_t blockSize, std::int32_t contentLength,
                     std::uint32_t& bytesSoFar);
    bool ReadToClose(std::uint8_t* block, std::uint32_t blockSize, std::uint32_t& bytesSoFar);
    bool ReceiveChunkedBody();
    bool DecodeChunks(CChunkWorkBuffer& work, CResponseBuffer& rebuilt);

    // Redirects (http_client_redirect.inl).
    bool FollowRedirect();
    bool MakeLocationAbsolute(WideString& location) const;
    static bool NamesScheme(WideView text);
    void CheckConnectionHeader();

    CHeaderMap headers_;
    CHeaderMapT<CAuthSchemeHandler*> schemes_;
    std::vector<WideString> challenges_;
    CResponseBuffer response_;
    CParsedUrl currentUrl_;
    WideString methodCopy_;
    std::int32_t statusCode_ = -1;
    std::uint32_t headOffset_ = 0;
    std::uint32_t headLength_ = 0;
    std::uint32_t bodyLength_ = 0;
    const std::uint8_t* scanPos_ = nullptr;
    const std::uint8_t* dataEnd_ = nullptr;
    // Offset up to which the search for the end of the current head found none.
    std::uint32_t headSearchedTo_ = 0;
    const CRequestSettings* settings_ = nullptr;
    ResponseReceiveResult lastReceiveResult_ = kReceiveNotDone;
    int redirectsFollowed_ = 0;
    // Host and port the open connection goes to; empty host when none is open.
    WideString connectedHost_;
    std::uint16_t connectedPort_ = 0;
    // The way the open connection takes; viaProxy_ when requests go to an http proxy.
    CProxyTry connectedVia_ = CProxyTry::Direct();
    bool viaProxy_ = false;
    CProxyLogon logon_;
    // The next request goes without its body (a proxy logon leg that is not the last).
    bool bodyless_ = false;
    // While a tunnel is being opened: its deadline, and the proxy's answer bytes so far.
    bool openingTunnel_ = false;
    std::chrono::steady_clock::time_point tunnelDeadline_;
    std::uint32_t proxyAnswerBytes_ = 0;
};

#include "http/http_client_auth.inl"
#include "http/http_client_body.inl"
#include "http/http_client_head.inl"
#include "http/http_client_proxy.inl"
#include "http/http_client_redirect.inl"
#include "http/http_client_request.inl"
#include "http/http_client_send.inl"
