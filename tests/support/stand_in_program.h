// Where the tests find the small programs built into the folder of the test programs: the
// Windows stand-in for a product process (tests/stand_in, logsender_stand_in.exe) and the
// run as a program of its own (tests/test_run, logsender_test_run).
#pragma once

#include <string>

// The stand-in's full path (UTF-8, as std::filesystem spells paths on Windows), beside the
// running test program. Windows only.
std::string StandInProgram();

// The full path of the program built beside the test programs under name (without ".exe").
std::string TestProgram(const std::string& name);
