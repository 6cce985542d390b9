// CUploadRecorder: a loopback stand-in for the upload receiver that records every request
// it gets (head and body) and answers each with 200 and an empty body. The multipart body
// of each upload is taken apart into the part's file name and the archive bytes, so tests
// can assert what the log sender posted without a network beyond 127.0.0.1.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/loopback_server.h"

struct CRecordedUpload {
    std::string head;         // request line and headers, up to the empty line
    std::string body;         // exactly Content-Length bytes
    std::string fileName;     // filename="..." of the part head; empty when there is none
    std::string archive;      // bytes between the part head and the tail
    bool wellFormed = false;  // one file part with the fixed boundary, tail at the very end
};

class CUploadRecorder {
public:
    CUploadRecorder();

    // http://127.0.0.1:<port>/scripts/uploadUserLog.php
    std::u16string Url() const;
    // The uploads received so far, in order.
    std::vector<CRecordedUpload> Uploads() const;
    // File names of the uploads, in order.
    std::vector<std::string> FileNames() const;

private:
    void Serve(CLoopbackConnection& connection);

    mutable std::mutex mutex_;
    std::vector<CRecordedUpload> uploads_;
    CLoopbackServer server_;  // last: stops before the members its thread uses go away
};

// Takes a multipart body apart as the log sender writes it.
void ParseUploadBody(CRecordedUpload& upload);
