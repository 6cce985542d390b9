// Fuzz target for PAC answers. Checks that a route holds at most kMaxTries tries, none twice,
// at least one proxy when it holds anything, only sound servers without credentials, and
// that an empty entry at the end changes nothing.
#include <cstddef>
#include <cstdint>

#include "fuzz/proxy_fuzz.h"
#include "net/proxy/pac_answer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const WideString answer = FuzzText(data, size);
    const CProxyRoute route = ReadPacAnswer(answer);
    const std::vector<CProxyTry>& tries = route.Tries();
    RequireFuzzProperty(tries.size() <= CProxyRoute::kMaxTries);
    bool namesProxy = false;
    for (std::size_t i = 0; i < tries.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            RequireFuzzProperty(!(tries[i] == tries[j]));
        }
        if (!tries[i].direct) {
            namesProxy = true;
            RequireSoundServer(tries[i].server, false);
        }
    }
    RequireFuzzProperty(tries.empty() || namesProxy);
    RequireFuzzProperty(ReadPacAnswer(answer + u";").Tries() == tries);
    return 0;
}
