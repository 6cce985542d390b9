// The largest resident memory this process has had so far, as the system accounts it: the peak
// resident set on POSIX (getrusage), the peak working set on Windows. Tests run one test case
// per process, so it bounds what the case under test made the process hold.
#pragma once

#include <cstdint>

std::uint64_t PeakResidentBytes();
