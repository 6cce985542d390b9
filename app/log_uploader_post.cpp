// CLogUploader::PostMultipart: the one place where the log sender meets the HTTP client. A
// client of its own per upload, picked by the upload address's scheme: http goes over the
// event-synchronised socket, https over a TLS connection that trusts the roots the program
// was built with; any other scheme goes to the plain client, which refuses it. A fresh settings
// record with method "POST", the scheme's port and the body block; the record borrows the method,
// the block and the content type, which all live until RequestUrl has returned. The exchange guard
// bounds what the receiver may cost (its progress callbacks). The outcome is not examined.
#include "app/exchange_guard.h"
#include "app/log_uploader.h"
#include "app/multipart_body.h"
#include "http/http_client.h"
#include "http/request_settings.h"
#include "net/event_sync_socket.h"
#include "net/parsed_url.h"
#include "net/tls_socket.h"

namespace {

// The scheme of the upload address as the client will read it: escaped, then parsed.
UrlSchemeKind SchemeOf(const WideString& url) {
    constexpr std::uint32_t kEscapedCapacity = 2083;
    char16_t escaped[kEscapedCapacity];
    CParsedUrl parsed;
    return EscapeUrlText(url.c_str(), escaped, kEscapedCapacity) && parsed.Parse(escaped)
               ? parsed.SchemeKind()
               : SchemeUnknown;
}

template <typename TSocket>
void Post(const WideString& url, std::uint16_t port, const WideString& archiveFileName,
          const WideString& sessionId, const std::uint8_t* data, std::uint32_t dataSize) {
    CHttpClientT<TSocket> client;
    CRequestSettings settings;
    settings.AssignMethod(u"POST");
    settings.AssignPort(port);
    CMultipartBody body;
    if (!body.Build(archiveFileName, sessionId, data, dataSize)) {
        return;
    }
    settings.AssignPostData(body.Data(), body.Size(), body.ContentType());
    CExchangeGuard guard;
    guard.Attach(settings);
    client.RequestUrl(url.c_str(), &settings);
}

}  // namespace

void CLogUploader::PostMultipart(const WideString& url, const WideString& archiveFileName,
                                 const WideString& sessionId, const std::uint8_t* data,
                                 std::uint32_t dataSize) {
    if (SchemeOf(url) == SchemeHttps) {
        Post<CTlsSocket>(url, 443, archiveFileName, sessionId, data, dataSize);
        return;
    }
    Post<CEventSyncSocket>(url, 80, archiveFileName, sessionId, data, dataSize);
}
