// logsender_stand_in: the stand-in for a running product process in the Windows tests (Wine runs
// no Linux shell for them). It runs until its standard input ends, and never longer than
// kLongestRun, so a test that loses it cannot leave it behind for good. Modes:
//   (no arguments)             prints its process identifier on a line;
//   hold <path>                opens the existing file for reading and writing without sharing,
//                              as the product holds its log, then prints "ready";
//   hold-log <folder> <text>   creates <folder>\OmbrixLog.<own id>.Runner.log without sharing,
//                              writes text into it (UTF-8), prints its identifier and then
//                              "ready".
// The file stays held until the program ends. A file that cannot be opened ends it with 1,
// unknown arguments with 2.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr DWORD kLongestRun = 5 * 60 * 1000;

struct CHandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<void, CHandleCloser>;

struct CLocalFree {
    void operator()(wchar_t** block) const { LocalFree(block); }
};

DWORD WINAPI ReadInputToEnd(void*) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char buffer[256];
    DWORD got = 0;
    while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got != 0) {
    }
    return 0;
}

void WaitForInputEnd() {
    const OwnedHandle reader(CreateThread(nullptr, 0, ReadInputToEnd, nullptr, 0, nullptr));
    if (reader) {
        WaitForSingleObject(reader.get(), kLongestRun);
    }
}

void PrintLine(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

OwnedHandle OpenUnshared(const std::wstring& path, DWORD creation) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    creation, FILE_ATTRIBUTE_NORMAL, nullptr);
    return OwnedHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

std::string Utf8Of(const std::wstring& text) {
    const int size = static_cast<int>(text.size());
    std::string bytes(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), size,
                                                                   nullptr, 0, nullptr, nullptr)),
                      '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), size, bytes.data(),
                        static_cast<int>(bytes.size()), nullptr, nullptr);
    return bytes;
}

// Creates the Runner log of this process in folder, with text in it as UTF-8.
OwnedHandle CreateOwnLog(const std::wstring& folder, const std::wstring& text) {
    const std::wstring path =
        folder + L"\\OmbrixLog." + std::to_wstring(GetCurrentProcessId()) + L".Runner.log";
    OwnedHandle log = OpenUnshared(path, CREATE_NEW);
    const std::string bytes = Utf8Of(text);
    DWORD written = 0;
    if (log &&
        !WriteFile(log.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        log.reset();
    }
    return log;
}

int Run(int count, wchar_t** arguments) {
    const std::wstring mode = count > 1 ? arguments[1] : L"";
    OwnedHandle held;
    if (count == 3 && mode == L"hold") {
        held = OpenUnshared(arguments[2], OPEN_EXISTING);
    } else if (count == 4 && mode == L"hold-log") {
        held = CreateOwnLog(arguments[2], arguments[3]);
    } else if (count != 1) {
        return 2;
    }
    if (count > 1 && !held) {
        return 1;
    }
    if (mode != L"hold") {
        PrintLine(std::to_string(GetCurrentProcessId()));
    }
    if (held) {
        PrintLine("ready");
    }
    WaitForInputEnd();
    return 0;
}

}  // namespace

int main() {
    int count = 0;
    const std::unique_ptr<wchar_t*, CLocalFree> arguments(
        CommandLineToArgvW(GetCommandLineW(), &count));
    return arguments ? Run(count, arguments.get()) : 2;
}
