// The entry routine of the logsender program: gathers what the run takes from the platform
// (the application-data folder, the tick count as seed) and runs once. It prints nothing,
// writes no log of its own, and returns 0, the exit status, on every path.
#pragma once

#include <string>
#include <string_view>

// The arguments after the program name joined with single blanks: the command line as the
// run splits it. Arguments that hold no blank give the same tokens as a Windows command line.
std::string JoinArguments(int argc, const char* const* argv);

// commandLine is the 8-bit text after the program name and the white space that follows it,
// as Windows hands it to a program's entry point. productWord and uploadAddress are the
// program's fixed 8-bit texts.
int LogSenderEntry(std::string_view commandLine, const char* productWord,
                   const char* uploadAddress) noexcept;
// The same for a platform that hands the arguments over already split.
int LogSenderEntry(int argc, const char* const* argv, const char* productWord,
                   const char* uploadAddress) noexcept;
