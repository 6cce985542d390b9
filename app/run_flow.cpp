// The run flow. Renames never replace a file, and a file another process holds is never
// moved, read or deleted (platform/), so the current log of a running product stays put; the
// process list, read whole, keeps the sweep off the logs of running processes, and when it
// cannot be read the sweep is skipped rather than treating every log as left behind.
#include "app/run_flow.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "app/command_line.h"
#include "app/log_uploader.h"
#include "platform/file_operations.h"
#include "platform/file_search.h"
#include "platform/path_join.h"
#include "platform/process_list.h"
#include "platform/random_draw.h"
#include "platform/text_conversion.h"
#include "platform/text_format.h"

namespace {

constexpr std::size_t kSweepPrefixLength = 10;  // "OmbrixLog."

// Moves the current log to its rotated name, clearing a left-over of an earlier run first.
// Returns the name to send: the rotated name, or empty when the log could not be moved.
WideString SetAside(const WideString& folder, const WideString& currentName,
                    const WideString& rotatedName) {
    const WideString rotatedPath = JoinPath(folder, rotatedName);
    DeleteFileAt(rotatedPath);
    if (!RenameFileNoReplace(JoinPath(folder, currentName), rotatedPath)) {
        return WideString();
    }
    return rotatedName;
}

bool IsWhiteSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

void Sweep(CLogUploader& uploader, const WideString& folder, const CRunContext& context,
           const WideString& sessionId) {
    std::vector<std::uint32_t> running;
    if (!ReadRunningProcessIds(running)) {
        return;
    }
    CFileSearch search;
    WideString name;
    for (bool found = search.First(folder, u"OmbrixLog.", name); found; found = search.Next(name)) {
        const std::uint32_t id = ProcessIdOfLogName(name);
        if (id != 0 && std::find(running.begin(), running.end(), id) != running.end()) {
            continue;
        }
        uploader.UploadLog(context.uploadAddress, folder, name, sessionId);
    }
}

void RunSendLogs(const CCommandLine& commandLine, const CRunContext& context) {
    if (!context.appDataFolder) {
        return;
    }
    const WideString folder =
        JoinPath(JoinPath(*context.appDataFolder, context.productWord), u"Log");
    const WideString& logId = commandLine.LogId();
    const WideString& sessionId = commandLine.SessionId();
    CLogUploader uploader;
    const int n = RotationNumberOf(CRandomDraw(context.seed).Next());
    const WideString streamer = SetAside(folder, FormatWide(u"OmbrixLog.%s.Streamer.log", logId),
                                         FormatWide(u"OmbrixLog%02d.%s.Streamer.log", n, logId));
    const WideString runner = SetAside(folder, FormatWide(u"OmbrixLog.%s.Runner.log", logId),
                                       FormatWide(u"OmbrixLog%02d.%s.Runner.log", n, logId));
    if (!streamer.empty()) {
        uploader.UploadLog(context.uploadAddress, folder, streamer, sessionId);
    }
    if (!runner.empty()) {
        uploader.UploadLog(context.uploadAddress, folder, runner, sessionId);
    }
    Sweep(uploader, folder, context, sessionId);
}

}  // namespace

int RotationNumberOf(int draw) {
    return static_cast<int>(static_cast<double>(draw) / CRandomDraw::kMaximum * 1000.0);
}

std::uint32_t ProcessIdOfLogName(WideView name) {
    std::size_t pos = std::min(name.size(), kSweepPrefixLength);
    while (pos < name.size() && IsWhiteSpace(name[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < name.size() && (name[pos] == u'+' || name[pos] == u'-')) {
        negative = name[pos] == u'-';
        ++pos;
    }
    // Saturates like the C library's conversion, so a long digit run never wraps round to
    // the identifier of some running process.
    const std::int64_t limit = negative ? -std::int64_t{std::numeric_limits<std::int32_t>::min()}
                                        : std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (; pos < name.size() && name[pos] >= u'0' && name[pos] <= u'9'; ++pos) {
        value = std::min(limit, value * 10 + (name[pos] - u'0'));
    }
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(negative ? -value : value));
}

int RunLogSender(std::string_view commandLine, const CRunContext& context) noexcept {
    try {
        const CCommandLine line(NarrowToWide(commandLine));
        if (line.IsSendLogs()) {
            RunSendLogs(line, context);
        }
    } catch (...) {
        // Failures are never reported; the run simply ends.
    }
    return 0;
}
