// CLogUploader::PostMultipart: the one place where the log sender meets the HTTP client. A
// client of its own per upload, a fresh settings record with method "POST" and port 80 and
// the body block; the record borrows the method, the block and the content type, which all
// live until RequestUrl has returned. The exchange guard bounds what the receiver may cost
// (its progress callbacks). The outcome is not examined.
#include "app/exchange_guard.h"
#include "app/log_uploader.h"
#include "app/multipart_body.h"
#include "http/http_client.h"
#include "http/request_settings.h"
#include "net/event_sync_socket.h"

void CLogUploader::PostMultipart(const WideString& url, const WideString& archiveFileName,
                                 const WideString& sessionId, const std::uint8_t* data,
                                 std::uint32_t dataSize) {
    CHttpClientT<CEventSyncSocket> client;
    CRequestSettings settings;
    settings.AssignMethod(u"POST");
    settings.AssignPort(80);
    CMultipartBody body;
    if (!body.Build(archiveFileName, sessionId, data, dataSize)) {
        return;
    }
    settings.AssignPostData(body.Data(), body.Size(), body.ContentType());
    CExchangeGuard guard;
    guard.Attach(settings);
    client.RequestUrl(url.c_str(), &settings);
}
