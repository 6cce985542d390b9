// Running a piece of a test as an ordinary user runs the program: without the power to read or
// change files whatever their permissions say, which a test run as root otherwise has.
#pragma once

#include <functional>

// Runs job on a thread of its own that may not override file permissions (capabilities are per
// thread on Linux, so the rest of the test keeps its own). False, with job not run, when such a
// thread cannot be had.
bool RunWithoutPermissionOverride(const std::function<void()>& job);
