// logsender: the program's start-up code. It holds the program's process-wide texts, the
// product word and the upload address fixed when the program is built (the CMake cache
// variable LOGSENDER_UPLOAD_URL; nothing at run time changes it), and hands the arguments
// to the entry routine. The socket library's process-wide object belongs to net/.
#include "app/log_sender_entry.h"

namespace {

constexpr const char* kProductWord = "Ombrix";
constexpr const char* kUploadAddress = LOGSENDER_UPLOAD_URL;

}  // namespace

int main(int argc, char** argv) {
    return LogSenderEntry(argc, argv, kProductWord, kUploadAddress);
}
