// The test programs' paths: the folder of the running test program (GetModuleFileNameW, read into a
// buffer that grows while the name is cut short) and the program's file name.
#include <windows.h>

#include <filesystem>
#include <string>

#include "tests/support/stand_in_program.h"

namespace {

// Longer than any path the wide calls accept.
constexpr DWORD kLongestModuleName = 32768;

std::wstring OwnProgramPath() {
    std::wstring path;
    for (DWORD size = MAX_PATH; size <= kLongestModuleName; size *= 2) {
        path.resize(size);
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), size);
        if (length == 0) {
            return std::wstring();
        }
        if (length < size) {
            path.resize(length);
            return path;
        }
    }
    return std::wstring();
}

}  // namespace

std::string TestProgram(const std::string& name) {
    const std::filesystem::path folder = std::filesystem::path(OwnProgramPath()).parent_path();
    return (folder / (name + ".exe")).string();
}

std::string StandInProgram() {
    return TestProgram("logsender_stand_in");
}
