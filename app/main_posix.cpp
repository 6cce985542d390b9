// logsender's start-up code on POSIX: the arguments arrive split and are joined into the
// command line the run reads. The socket library's process-wide object belongs to net/.
#include "app/log_sender_entry.h"
#include "app/program_texts.h"

int main(int argc, char** argv) {
    return LogSenderEntry(argc, argv, kProductWord, kUploadAddress);
}
