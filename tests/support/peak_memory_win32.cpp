// PeakResidentBytes on Windows: the process's peak working set.
#include <windows.h>

#include <psapi.h>

#include "tests/support/peak_memory.h"

std::uint64_t PeakResidentBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PeakWorkingSetSize;
}
