// Fuzz target for the response readers: arbitrary bytes, split into reads at arbitrary
// points, played by the scripted socket as the answer to one request. Checks that the
// response buffer and the body length never claim more than the peer sent and that the
// buffer keeps its zero byte; the sanitizers catch every access out of bounds.
#include <cstddef>
#include <cstdint>

#include "http/http_client.h"
#include "tests/support/fuzz_script.h"
#include "tests/support/scripted_socket.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CSocketScript script;
    const FuzzPlan plan = PlanFuzzConnection(data, size, script.AddConnection());
    CHttpClientT<CScriptedSocket> client(script);
    CRequestSettings settings;
    settings.flags = plan.flags & (kRequestFollowRedirects | kRequestCheckStatus);
    settings.readBlockSize = plan.readBlockSize;
    const bool result = client.RequestUrl(u"http://h/p", &settings);
    RequireFuzzProperty(client.BodyLength() <= plan.peerBytes.size());
    RequireFuzzProperty(client.ResponseLength() <= plan.peerBytes.size());
    RequireFuzzProperty(client.ResponseData()[client.ResponseLength()] == 0);
    RequireFuzzProperty(!result || client.LastReceiveResult() == kReceiveOk);
    if (result) {
        RequireFuzzProperty(std::uint64_t{client.HeadOffset()} + client.HeadLength() +
                                client.BodyLength() ==
                            client.ResponseLength());
    }
    return 0;
}
