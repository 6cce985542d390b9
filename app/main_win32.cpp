// logsender.exe's start-up code: a GUI-subsystem program, so starting it never opens a console
// window, and it creates no window of its own. WinMain receives the command line after the
// program name as 8-bit text in the ANSI code page, which is what the run reads.
#include <windows.h>

#include "app/log_sender_entry.h"
#include "app/program_texts.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    return LogSenderEntry(commandLine != nullptr ? commandLine : "", kProductWord, kUploadAddress);
}
