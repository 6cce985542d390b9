// PeakResidentBytes on POSIX: getrusage's maximum resident set size, in KiB on Linux.
#include <sys/resource.h>

#include "tests/support/peak_memory.h"

std::uint64_t PeakResidentBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
}
