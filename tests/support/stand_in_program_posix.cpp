// The test programs' paths on POSIX: the folder of the running test program, read from
// /proc/self/exe, and the program's name.
#include <filesystem>
#include <string>

#include "tests/support/stand_in_program.h"

std::string TestProgram(const std::string& name) {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return (self.parent_path() / name).string();
}
