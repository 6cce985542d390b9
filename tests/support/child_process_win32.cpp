// CChildProcess on Windows: CreateProcessW with the child's standard handles on pipes. The
// output arrives through a named pipe read with overlapped reads, so ReadLine and WaitForExit
// wait on events with a time-out and never block inside a read. The child inherits its own
// three handles and nothing else (a handle list): one child never keeps another child's pipes,
// or the test's files and sockets, open. Kill is TerminateProcess, and the end of the process
// is awaited with a bound.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/stand_in_program.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kPieceSize = 4096;
// Bound on the waits that end a child: the process going after TerminateProcess, a cancelled
// read completing, and the output left in the pipe once the process has gone.
constexpr DWORD kEndingWait = 10000;
// The status a shell reports for a process that SIGKILL ended, as on POSIX.
constexpr DWORD kKilledExitCode = 137;

struct CHandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<void, CHandleCloser>;

struct CEnvironmentFree {
    void operator()(wchar_t* block) const { FreeEnvironmentStringsW(block); }
};

DWORD RemainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<DWORD>(left.count()) : 0;
}

std::wstring Utf16Of(const std::string& text) {
    const int size = static_cast<int>(text.size());
    std::wstring wide(
        static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0)),
        L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

// One argument as the C library's command-line split reads it back: quoted when it is empty
// or holds a blank or a quote; inside quotes, a quote is escaped with a backslash, and the
// backslashes before a quote (the closing one included) are doubled.
void AppendQuoted(const std::wstring& argument, std::wstring& line) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        line += c;
        backslashes = 0;
    }
    line.append(2 * backslashes, L'\\');
    line += L'"';
}

std::wstring CommandLineOf(const std::vector<std::string>& argv) {
    std::wstring line;
    for (const auto& argument : argv) {
        if (!line.empty()) {
            line += L' ';
        }
        AppendQuoted(Utf16Of(argument), line);
    }
    return line;
}

// Whether the entry "NAME=value" sets the variable that key ("NAME=") names; names ignore
// letter case on Windows. A leading "=" belongs to the name (the "=C:" drive entries).
bool SetsVariable(const std::wstring& entry, const std::wstring& key) {
    return entry.size() >= key.size() && _wcsnicmp(entry.c_str(), key.c_str(), key.size()) == 0;
}

// The test's environment with the entries of extra replacing or adding to it, as the block
// CreateProcessW takes: entries ended by a zero, and one more zero at the end.
std::wstring EnvironmentBlock(const std::vector<std::string>& extra) {
    std::vector<std::wstring> added;
    for (const auto& entry : extra) {
        added.push_back(Utf16Of(entry));
    }
    std::wstring block;
    const std::unique_ptr<wchar_t, CEnvironmentFree> own(GetEnvironmentStringsW());
    for (const wchar_t* entry = own.get(); entry != nullptr && *entry != L'\0';
         entry += std::wcslen(entry) + 1) {
        const std::wstring text = entry;
        const std::wstring key = text.substr(0, text.find(L'=', 1) + 1);
        if (std::none_of(added.begin(), added.end(),
                         [&](const std::wstring& a) { return SetsVariable(a, key); })) {
            block += text + L'\0';
        }
    }
    for (const auto& entry : added) {
        block += entry + L'\0';
    }
    return block + L'\0';
}

OwnedHandle InheritableCopy(HANDLE handle) {
    HANDLE copy = nullptr;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
        return OwnedHandle();
    }
    return OwnedHandle(copy);
}

// The test's standard error for the child, or the null device when the test has none.
OwnedHandle ErrorsOfTest() {
    OwnedHandle errors = InheritableCopy(GetStdHandle(STD_ERROR_HANDLE));
    if (errors) {
        return errors;
    }
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    const HANDLE null = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    &inherit, OPEN_EXISTING, 0, nullptr);
    return OwnedHandle(null == INVALID_HANDLE_VALUE ? nullptr : null);
}

// The ends of the child's pipes: the test keeps inputWrite and outputRead, the child inherits
// the other three (errors is a copy of outputWrite, or of the test's standard error).
struct CChildPipes {
    OwnedHandle inputRead;
    OwnedHandle inputWrite;
    OwnedHandle outputRead;
    OwnedHandle outputWrite;
    OwnedHandle errors;
};

bool MakeInputPipe(CChildPipes& pipes) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!CreatePipe(&read, &write, &inherit, 0)) {
        return false;
    }
    pipes.inputRead.reset(read);
    pipes.inputWrite.reset(write);
    return SetHandleInformation(write, HANDLE_FLAG_INHERIT, 0);
}

// Anonymous pipes know no overlapped reads, so the output is a named pipe of one instance
// under a name no other pipe has, connected at once by the child's end.
bool MakeOutputPipe(CChildPipes& pipes) {
    static std::atomic<unsigned> counter{0};
    const std::wstring name = L"\\\\.\\pipe\\ombrix-child-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++counter);
    const HANDLE read = CreateNamedPipeW(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
        16 * kPieceSize, 0, nullptr);
    if (read == INVALID_HANDLE_VALUE) {
        return false;
    }
    pipes.outputRead.reset(read);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    const HANDLE write = CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inherit, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    if (write == INVALID_HANDLE_VALUE) {
        return false;
    }
    pipes.outputWrite.reset(write);
    return true;
}

bool MakePipes(CChildPipes& pipes, bool captureErrors) {
    if (!MakeInputPipe(pipes) || !MakeOutputPipe(pipes)) {
        return false;
    }
    pipes.errors = captureErrors ? InheritableCopy(pipes.outputWrite.get()) : ErrorsOfTest();
    return static_cast<bool>(pipes.errors);
}

// The attribute list that restricts inheritance to the child's own handles.
class CInheritedHandles {
public:
    explicit CInheritedHandles(const CChildPipes& pipes)
        : handles_{pipes.inputRead.get(), pipes.outputWrite.get(), pipes.errors.get()} {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (InitializeProcThreadAttributeList(list, 1, 0, &size)) {
            list_ = list;
            ready_ = UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                               handles_, sizeof handles_, nullptr, nullptr);
        }
    }
    ~CInheritedHandles() {
        if (list_ != nullptr) {
            DeleteProcThreadAttributeList(list_);
        }
    }
    CInheritedHandles(const CInheritedHandles&) = delete;
    CInheritedHandles& operator=(const CInheritedHandles&) = delete;

    LPPROC_THREAD_ATTRIBUTE_LIST List() const { return ready_ ? list_ : nullptr; }

private:
    HANDLE handles_[3];
    std::vector<char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
    bool ready_ = false;
};

}  // namespace

// The read end of the child's output and the overlapped read in flight on it. A read is
// started when output is wanted and may outlast the wait for it; the next wait continues it.
class CChildProcess::COutputPipe {
public:
    explicit COutputPipe(OwnedHandle pipe)
        : pipe_(std::move(pipe)), event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    // A read still in flight is cancelled, and its end awaited before its buffer goes: the
    // system writes into that buffer until the read has completed.
    ~COutputPipe() {
        if (pending_) {
            CancelIoEx(pipe_.get(), &overlapped_);
            WaitForSingleObject(event_.get(), kEndingWait);
        }
    }
    COutputPipe(const COutputPipe&) = delete;
    COutputPipe& operator=(const COutputPipe&) = delete;

    bool Usable() const { return pipe_ && event_; }

    // The event that signals output, a read being started for it; null once the output ended.
    HANDLE Arrival() {
        if (!pending_ && !ended_) {
            overlapped_ = OVERLAPPED{};
            overlapped_.hEvent = event_.get();
            pending_ = ReadFile(pipe_.get(), buffer_, kPieceSize, nullptr, &overlapped_) ||
                       GetLastError() == ERROR_IO_PENDING;
            ended_ = !pending_;
        }
        return ended_ ? nullptr : event_.get();
    }

    // Appends to out what arrives by deadline. False on a time-out or at the end of output.
    bool Fetch(Clock::time_point deadline, std::string& out) {
        const HANDLE arrival = Arrival();
        if (arrival == nullptr ||
            WaitForSingleObject(arrival, RemainingMs(deadline)) != WAIT_OBJECT_0) {
            return false;
        }
        pending_ = false;
        DWORD got = 0;
        if (!GetOverlappedResult(pipe_.get(), &overlapped_, &got, FALSE)) {
            ended_ = true;
            return false;
        }
        out.append(buffer_, got);
        return true;
    }

private:
    OwnedHandle pipe_;
    OwnedHandle event_;
    OVERLAPPED overlapped_{};
    char buffer_[kPieceSize];
    bool pending_ = false;
    bool ended_ = false;
};

void CChildProcess::COutputPipeDelete::operator()(COutputPipe* pipe) const {
    std::default_delete<COutputPipe>()(pipe);
}

bool CChildProcess::Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                          bool captureErrors) {
    Kill();
    pending_.clear();
    CChildPipes pipes;
    if (argv.empty() || !MakePipes(pipes, captureErrors)) {
        return false;
    }
    const CInheritedHandles inherited(pipes);
    if (inherited.List() == nullptr) {
        return false;
    }
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = pipes.inputRead.get();
    startup.StartupInfo.hStdOutput = pipes.outputWrite.get();
    startup.StartupInfo.hStdError = pipes.errors.get();
    startup.lpAttributeList = inherited.List();
    std::wstring commandLine = CommandLineOf(argv);
    std::wstring environment = env.empty() ? std::wstring() : EnvironmentBlock(env);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(
            nullptr, commandLine.data(), nullptr, nullptr, TRUE,
            EXTENDED_STARTUPINFO_PRESENT | CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW,
            env.empty() ? nullptr : environment.data(), nullptr, &startup.StartupInfo, &started)) {
        return false;
    }
    CloseHandle(started.hThread);
    process_ = started.hProcess;
    pid_ = static_cast<int>(started.dwProcessId);
    input_ = pipes.inputWrite.release();
    output_ = std::make_unique<COutputPipe>(std::move(pipes.outputRead));
    if (!output_->Usable()) {
        Kill();
        return false;
    }
    return true;
}

bool CChildProcess::StartIdle(std::chrono::milliseconds timeout) {
    std::string line;
    return Start({StandInProgram()}) && ReadLine(line, timeout) && line == std::to_string(pid_);
}

bool CChildProcess::StartHolding(const std::string& path, std::chrono::milliseconds timeout) {
    std::string line;
    return Start({StandInProgram(), "hold", path}) && ReadLine(line, timeout) && line == "ready";
}

bool CChildProcess::Fetch(Clock::time_point deadline) {
    return output_ && output_->Fetch(deadline, pending_);
}

bool CChildProcess::WaitForExit(std::chrono::milliseconds timeout, int& exitCode) {
    if (process_ == nullptr) {
        return false;
    }
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const HANDLE watched[2] = {process_, output_ ? output_->Arrival() : nullptr};
        const DWORD count = watched[1] == nullptr ? 1 : 2;
        const DWORD woken = WaitForMultipleObjects(count, watched, FALSE, RemainingMs(deadline));
        if (woken == WAIT_OBJECT_0) {
            break;
        }
        if (woken != WAIT_OBJECT_0 + 1) {
            return false;
        }
        Fetch(Clock::now());
    }
    const auto drained = Clock::now() + std::chrono::milliseconds(kEndingWait);
    while (Fetch(drained)) {
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    exitCode = static_cast<int>(code);
    pid_ = -1;
    CloseDescriptors();
    return true;
}

void EndThisProcessAtOnce() {
    for (;;) {
        TerminateProcess(GetCurrentProcess(), kKilledExitCode);
    }
}

void CChildProcess::Kill() {
    if (process_ != nullptr) {
        TerminateProcess(process_, kKilledExitCode);
        WaitForSingleObject(process_, kEndingWait);
    }
    pid_ = -1;
    CloseDescriptors();
}

void CChildProcess::CloseInput() {
    if (input_ != nullptr) {
        CloseHandle(input_);
        input_ = nullptr;
    }
}

void CChildProcess::CloseDescriptors() {
    output_.reset();
    CloseInput();
    if (process_ != nullptr) {
        CloseHandle(process_);
        process_ = nullptr;
    }
}
