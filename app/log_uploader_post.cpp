// CLogUploader::PostMultipart: the one place where the log sender meets the HTTP client. A
// client of its own per upload, picked by the upload address's scheme: http goes over the
// event-synchronised socket, https over a TLS connection that trusts the roots the program
// was built with; any other scheme goes to the plain client, which refuses it. A fresh settings
// record with method "POST", the scheme's port and the body streamed from the archive's file;
// the record borrows the method, the body source and the content type, which all live until
// RequestUrl has returned. The exchange guard bounds what the receiver may cost (its progress
// callbacks). The run's proxy chooser decides the way, and the platform's silent logon
// schemes stand ready for a proxy that asks. The outcome of the request is not examined.
#include "app/archive_body_source.h"
#include "app/exchange_guard.h"
#include "app/log_uploader.h"
#include "app/multipart_body.h"
#include "http/http_client.h"
#include "http/request_settings.h"
#include "http/system_logon.h"
#include "net/socket/event_sync_socket.h"
#include "net/tls/tls_socket.h"
#include "net/url/parsed_url.h"

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
void Post(const WideString& url, std::uint16_t port, CArchiveBodySource& source,
          CProxyChooser* chooser) {
    const SchemeHandlerList schemes = SystemLogonSchemes();
    CHttpClientT<TSocket> client;
    for (const auto& [name, handler] : schemes) {
        client.AddSchemeHandler(name, handler.get());
    }
    CRequestSettings settings;
    settings.proxyChooser = chooser;
    settings.AssignMethod(u"POST");
    settings.AssignPort(port);
    source.Attach(settings);
    CExchangeGuard guard;
    guard.Attach(settings);
    client.RequestUrl(url.c_str(), &settings);
}

}  // namespace

bool CLogUploader::PostMultipart(const WideString& url, const WideString& archiveFileName,
                                 const WideString& sessionId, CScratchFile& archive,
                                 std::uint64_t archiveSize) {
    CMultipartBody body;
    if (!body.Compose(archiveFileName, sessionId, archiveSize)) {
        return false;
    }
    CArchiveBodySource source(body, archive, archiveSize);
    if (SchemeOf(url) == SchemeHttps) {
        Post<CTlsSocket>(url, 443, source, chooser_);
    } else {
        Post<CEventSyncSocket>(url, 80, source, chooser_);
    }
    return !source.ArchiveFailed();
}
