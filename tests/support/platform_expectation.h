// The one expectation of the platform a test runs on, from a table's per-platform columns.
// Where POSIX and Windows (as Wine runs it) differ, a row names both results side by side.
#pragma once

template <typename T>
const T& OnThisPlatform(const T& posix, const T& windows) {
#ifdef _WIN32
    static_cast<void>(posix);
    return windows;
#else
    static_cast<void>(windows);
    return posix;
#endif
}
