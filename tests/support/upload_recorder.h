// CUploadRecorder: a loopback stand-in for the upload receiver that records every request
// it gets (head and body) and answers each with 200 and an empty body. The multipart body
// of each upload is taken apart into the part's file name and the archive bytes, so tests
// can assert what the log sender posted without a network beyond 127.0.0.1. Asked to, it
// first sends the uploader back to the same address with a 302 a number of times, or stalls on
// one connection: it reads that request's head and then never answers, as a receiver does that
// hangs while the sender is stopped.
#pragma once

#include <chrono>
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

struct CRecorderBehaviour {
    int redirectFirst = 0;  // requests answered with a 302 to the same address before any 200
    int stallOn = 0;        // the connection (counted from 1) that gets no answer; 0: none
};

class CUploadRecorder {
public:
    explicit CUploadRecorder(CRecorderBehaviour behaviour = {});

    // http://127.0.0.1:<port>/scripts/uploadUserLog.php
    std::u16string Url() const;
    // The uploads received whole so far, in order, the redirected ones included.
    std::vector<CRecordedUpload> Uploads() const;
    // File names of the uploads, in order.
    std::vector<std::string> FileNames() const;
    // Waits until count connections have come in; false when that takes longer than timeout.
    bool WaitForConnections(int count, std::chrono::milliseconds timeout) {
        return server_.WaitForAccepted(count, timeout);
    }

private:
    void Serve(CLoopbackConnection& connection);

    CRecorderBehaviour behaviour_;
    int served_ = 0;  // used by the server's one thread only
    mutable std::mutex mutex_;
    std::vector<CRecordedUpload> uploads_;
    CLoopbackServer server_;  // last: stops before the members its thread uses go away
};

// Takes a multipart body apart as the log sender writes it.
void ParseUploadBody(CRecordedUpload& upload);
