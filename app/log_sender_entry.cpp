// The entry routine; everything it does runs inside one catch-all, so no failure escapes.
#include "app/log_sender_entry.h"

#include "app/run_flow.h"
#include "platform/app_data_folder.h"
#include "platform/text_conversion.h"
#include "platform/tick_count.h"

std::string JoinArguments(int argc, const char* const* argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            line += ' ';
        }
        line += argv[i];
    }
    return line;
}

int LogSenderEntry(std::string_view commandLine, const char* productWord,
                   const char* uploadAddress) noexcept {
    try {
        CRunContext context;
        context.productWord = NarrowToWide(productWord);
        context.uploadAddress = NarrowToWide(uploadAddress);
        WideString folder;
        if (LocalAppDataFolder(folder)) {
            context.appDataFolder = folder;
        }
        context.seed = TickCount();
        return RunLogSender(commandLine, context);
    } catch (...) {
        return 0;
    }
}

int LogSenderEntry(int argc, const char* const* argv, const char* productWord,
                   const char* uploadAddress) noexcept {
    try {
        return LogSenderEntry(JoinArguments(argc, argv), productWord, uploadAddress);
    } catch (...) {
        return 0;
    }
}
