// CUploadRecorder: reads the head to its empty line, then Content-Length bytes of body.
#include "tests/support/upload_recorder.h"

#include <cstdlib>

#include "platform/text_conversion.h"

namespace {

const std::string kBoundary = "---------------------------546534675385635";

std::size_t ContentLength(const std::string& head) {
    const std::string name = "\r\nContent-Length: ";
    const auto at = head.find(name);
    return at == std::string::npos ? 0 : std::strtoul(head.c_str() + at + name.size(), nullptr, 10);
}

}  // namespace

void ParseUploadBody(CRecordedUpload& upload) {
    const std::string& body = upload.body;
    const std::string opening = "--" + kBoundary + "\r\n";
    const std::string tail = "\r\n--" + kBoundary + "--\r\n";
    const std::string nameMark = "filename=\"";
    const auto headEnd = body.find("\r\n\r\n");
    const auto nameAt = body.find(nameMark);
    if (body.compare(0, opening.size(), opening) != 0 || headEnd == std::string::npos ||
        nameAt == std::string::npos || nameAt > headEnd ||
        body.size() < headEnd + 4 + tail.size() ||
        body.compare(body.size() - tail.size(), tail.size(), tail) != 0) {
        return;
    }
    const auto nameStart = nameAt + nameMark.size();
    const auto nameEnd = body.find("\"\r\n", nameStart);
    if (nameEnd == std::string::npos || nameEnd > headEnd) {
        return;
    }
    upload.fileName = body.substr(nameStart, nameEnd - nameStart);
    upload.archive = body.substr(headEnd + 4, body.size() - tail.size() - headEnd - 4);
    upload.wellFormed = true;
}

CUploadRecorder::CUploadRecorder(CRecorderBehaviour behaviour)
    : behaviour_(behaviour),
      server_([this](CLoopbackConnection& connection) { Serve(connection); }) {}

std::u16string CUploadRecorder::Url() const {
    return NarrowToWide("http://127.0.0.1:" + std::to_string(server_.Port()) +
                        "/scripts/uploadUserLog.php");
}

void CUploadRecorder::Serve(CLoopbackConnection& connection) {
    const int number = ++served_;
    CRecordedUpload upload;
    if (!connection.ReadUntil("\r\n\r\n", upload.head)) {
        return;
    }
    if (number == behaviour_.stallOn) {
        connection.SetTimeout(std::chrono::seconds(60));
        connection.Idle();
        return;
    }
    if (!connection.ReadExactly(ContentLength(upload.head), upload.body)) {
        return;
    }
    ParseUploadBody(upload);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        uploads_.push_back(std::move(upload));
    }
    if (number <= behaviour_.redirectFirst) {
        connection.Write("HTTP/1.1 302 Found\r\nLocation: " + WideToNarrow(Url()) +
                         "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        connection.Close();
        return;
    }
    connection.Write("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    connection.Close();
}

std::vector<CRecordedUpload> CUploadRecorder::Uploads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return uploads_;
}

std::vector<std::string> CUploadRecorder::FileNames() const {
    std::vector<std::string> names;
    for (const auto& upload : Uploads()) {
        names.push_back(upload.fileName);
    }
    return names;
}
