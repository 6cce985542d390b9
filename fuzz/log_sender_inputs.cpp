// Fuzz target for what the log sender reads from outside: the command line (split into its
// tokens), swept file names (their process identifier; no name is both a rotated log and a
// left-over archive) and the identifiers that enter the multipart part head. Checks that
// tokens never hold a blank, that the part head is always exactly its four lines with a quoted
// file name free of quotes and line ends, and that the archive bytes come back unchanged
// between the head and the tail.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/command_line.h"
#include "app/log_names.h"
#include "app/multipart_body.h"
#include "platform/text_conversion.h"
#include "tests/support/upload_recorder.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckCommandLine(std::string_view text) {
    const CCommandLine line(NarrowToWide(text));
    for (const auto* token : {&line.CommandWord(), &line.SessionId(), &line.LogId()}) {
        Require(token->find(u' ') == std::u16string::npos);
    }
    Require(!line.SessionId().empty() && !line.LogId().empty());
    const WideString name = NarrowToWide(text);
    ProcessIdOfLogName(name);
    Require(!(IsRotatedLogName(name) && IsLeftOverArchiveName(name)));
}

void CheckBody(std::string_view sessionId, std::string_view archiveName, std::string_view data) {
    CMultipartBody body;
    Require(body.Compose(NarrowToWide(archiveName), NarrowToWide(sessionId), data.size()));
    CRecordedUpload upload;
    upload.body = body.Head();
    upload.body += data;
    upload.body += body.Tail();
    Require(upload.body.size() == body.Size());
    ParseUploadBody(upload);
    Require(upload.wellFormed && upload.archive == data);
    Require(upload.fileName.find_first_of("\"\r\n") == std::string::npos);
    const std::string head = upload.body.substr(0, body.HeadLength());
    std::size_t lineEnds = 0;
    for (std::size_t at = head.find("\r\n"); at != std::string::npos;
         at = head.find("\r\n", at + 2)) {
        ++lineEnds;
    }
    Require(lineEnds == 4);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckCommandLine(input);
    // Two zero bytes split the input into session identifier, archive name and archive bytes.
    const auto first = input.find('\0');
    const auto second = first == std::string_view::npos ? first : input.find('\0', first + 1);
    if (second != std::string_view::npos) {
        CheckBody(input.substr(0, first), input.substr(first + 1, second - first - 1),
                  input.substr(second + 1));
    }
    return 0;
}
