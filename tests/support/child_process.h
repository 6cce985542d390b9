// CChildProcess: a program a test starts (a reference server, say), whose standard output
// the test reads line by line, each read bounded by a time-out. The destructor kills the
// child by its own process id and reaps it.
#pragma once

#include <chrono>
#include <string>
#include <vector>

class CChildProcess {
public:
    // Starts argv[0], looked up on PATH, with the given arguments. Started() tells whether it ran.
    explicit CChildProcess(const std::vector<std::string>& argv);
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    // The next line of the child's standard output, without its line end; false when no
    // whole line arrives within timeout or the output ends first.
    bool ReadLine(std::string& line, std::chrono::milliseconds timeout);

private:
    int pid_ = -1;
    int output_ = -1;
    std::string pending_;
};
