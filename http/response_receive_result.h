// ResponseReceiveResult: what reading one response came to. 0 is success; every other code
// is a failure that names the step that failed.
#pragma once

#include <cstdint>

enum ResponseReceiveResult : std::int32_t {
    kReceiveOk = 0,
    kReceiveStatusInvalid = 2,  // the status line yielded no status code
    kReceiveHeadBad = 3,        // parsing the head failed
    kReceiveSocketFailed = 4,   // reading the head from the socket failed
    kReceiveBodyFailed = 5,     // reading a counted or read-to-close body failed
    kReceiveChunksFailed = 6,   // reading a chunked body failed
    kReceiveNotDone = 7,        // no response read yet in this request
};
