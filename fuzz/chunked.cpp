// Fuzz target for the chunked body reader: a fixed chunked head (with or without a Trailer
// announcement) followed by arbitrary body bytes split into reads at arbitrary points.
// Checks that a decoded body is never longer than the bytes sent after the head, that the
// response then holds exactly the head and the decoded body, and that a failure leaves the
// response buffer empty.
#include <cstddef>
#include <cstdint>
#include <string>

#include "http/http_client.h"
#include "tests/support/fuzz_script.h"
#include "tests/support/scripted_socket.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CSocketScript script;
    CScriptedConnection& connection = script.AddConnection();
    const bool trailers = size > 0 && (data[0] & 0x40) != 0;
    const std::string head = std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n") +
                             (trailers ? "Trailer: X-T\r\n" : "") + "\r\n";
    connection.Reply(head);
    const FuzzPlan plan = PlanFuzzConnection(data, size, connection);
    CHttpClientT<CScriptedSocket> client(script);
    CRequestSettings settings;
    settings.flags = 0;
    const bool result = client.RequestUrl(u"http://h/", &settings);
    RequireFuzzProperty(client.StatusCode() == 200);
    RequireFuzzProperty(client.BodyLength() <= plan.peerBytes.size());
    if (result) {
        RequireFuzzProperty(client.HeadOffset() == 0 && client.HeadLength() == head.size());
        RequireFuzzProperty(client.ResponseLength() == head.size() + client.BodyLength());
    } else {
        RequireFuzzProperty(client.ResponseLength() == 0);
    }
    return 0;
}
