// Where the Windows tests find their stand-in for a product process (tests/stand_in): the
// program logsender_stand_in.exe, built into the folder of the test programs.
#pragma once

#include <string>

// The stand-in's full path (UTF-8, as std::filesystem spells paths on Windows), beside the
// running test program. Windows only.
std::string StandInProgram();
