// The run flow. Renames never replace a file, and a file another process holds is never
// moved, read or deleted (platform/), so the current log of a running product stays put; the
// process list, read whole, keeps the sweep off the logs of running processes, and when it
// cannot be read the sweep is skipped rather than treating every log as left behind.
// Nothing that was never offered is deleted: a rotated name already taken is left for the
// sweep and the run takes the next free number, and each log the run sets aside stays held by
// it from the rename until it is deleted, so a second run at the same time leaves it alone.
// Once the run's time is over no upload starts; a log set aside and not started stays where
// the next sweep finds it.
#include "app/run_flow.h"

#include <algorithm>
#include <array>
#include <vector>

#include "app/command_line.h"
#include "app/log_names.h"
#include "app/log_uploader.h"
#include "platform/exclusive_file.h"
#include "platform/file_operations.h"
#include "platform/file_search.h"
#include "platform/path_join.h"
#include "platform/process_list.h"
#include "platform/random_draw.h"
#include "platform/text_conversion.h"

namespace {

constexpr int kRotationNumbers = 1001;  // 0..1000

// A log the run has set aside: its rotated name, held from the rename on.
struct CSetAsideLog {
    WideString name;
    CExclusiveFile held;
};

// The first number from drawn on, counting up and wrapping past 1000 to 0, under which no
// rotated name of the run exists yet; none when all are taken.
std::optional<int> FreeRotationNumber(const WideString& folder, const WideString& logId,
                                      int drawn) {
    for (int tries = 0, number = drawn; tries < kRotationNumbers;
         ++tries, number = (number + 1) % kRotationNumbers) {
        const bool taken = std::any_of(std::begin(kLogKinds), std::end(kLogKinds), [&](auto kind) {
            return FileExistsAt(JoinPath(folder, RotatedLogName(number, kind, logId)));
        });
        if (!taken) {
            return number;
        }
    }
    return std::nullopt;
}

// Moves the current log to its rotated name and holds it there. The name stays empty when the
// log could not be moved.
void SetAside(const WideString& folder, const WideString& currentName,
              const WideString& rotatedName, CSetAsideLog& log) {
    const WideString rotatedPath = JoinPath(folder, rotatedName);
    if (RenameFileNoReplace(JoinPath(folder, currentName), rotatedPath)) {
        log.name = rotatedName;
        log.held.Open(rotatedPath);
    }
}

// What the sweep looks at: every name beginning with "OmbrixLog.", then every rotated log name.
std::vector<WideString> SweepNames(const WideString& folder) {
    std::vector<WideString> names;
    CFileSearch search;
    WideString name;
    for (bool found = search.First(folder, u"OmbrixLog.", name); found; found = search.Next(name)) {
        names.push_back(name);
    }
    for (bool found = search.First(folder, u"OmbrixLog", name); found; found = search.Next(name)) {
        if (IsRotatedLogName(name)) {
            names.push_back(name);
        }
    }
    return names;
}

// Whether the run may still start an upload.
class CRunTime {
public:
    explicit CRunTime(const CRunContext& context)
        : now_(context.now), end_(context.now() + kRunTime) {}
    bool Left() const { return now_() < end_; }

private:
    std::chrono::steady_clock::time_point (*now_)();
    std::chrono::steady_clock::time_point end_;
};

void Sweep(CLogUploader& uploader, const WideString& folder, const CRunContext& context,
           const WideString& sessionId, const std::vector<WideString>& alreadyTried,
           const CRunTime& time) {
    std::vector<std::uint32_t> running;
    if (!ReadRunningProcessIds(running)) {
        return;
    }
    for (const WideString& name : SweepNames(folder)) {
        if (!time.Left()) {
            return;
        }
        const std::uint32_t id = ProcessIdOfLogName(name);
        if ((id != 0 && std::find(running.begin(), running.end(), id) != running.end()) ||
            std::find(alreadyTried.begin(), alreadyTried.end(), name) != alreadyTried.end()) {
            continue;
        }
        if (!IsRotatedLogName(name) && IsLeftOverArchiveName(name)) {
            DeleteFileAt(JoinPath(folder, name));
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
    const CRunTime time(context);
    // One chooser for the run: the proxy settings are looked up once, whatever the logs.
    const std::unique_ptr<CProxyChooser> chooser =
        context.makeProxyChooser != nullptr ? context.makeProxyChooser() : nullptr;
    CLogUploader uploader(chooser.get());
    const std::optional<int> n =
        FreeRotationNumber(folder, logId, RotationNumberOf(CRandomDraw(context.seed).Next()));
    std::array<CSetAsideLog, 2> logs;
    const RunStep steps[] = {RunStep::kStreamerSetAside, RunStep::kRunnerSetAside};
    for (std::size_t kind = 0; n && kind < logs.size(); ++kind) {
        SetAside(folder, CurrentLogName(kLogKinds[kind], logId),
                 RotatedLogName(*n, kLogKinds[kind], logId), logs[kind]);
        if (context.onStep != nullptr) {
            context.onStep(steps[kind]);
        }
    }
    std::vector<WideString> alreadyTried;
    for (CSetAsideLog& log : logs) {
        if (!log.name.empty() && time.Left()) {
            uploader.UploadLog(context.uploadAddress, folder, log.name, sessionId, log.held);
            alreadyTried.push_back(log.name);
        }
    }
    Sweep(uploader, folder, context, sessionId, alreadyTried, time);
}

}  // namespace

int RotationNumberOf(int draw) {
    return static_cast<int>(static_cast<double>(draw) / CRandomDraw::kMaximum * 1000.0);
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
