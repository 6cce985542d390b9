// CChildProcess: a program a test starts (a reference server, a stand-in for a product
// process, the program under test) and always ends. Its standard input is a pipe the test
// holds (the child sees end-of-file when the object ends), its standard output is read by the
// test, together with its standard error when asked. Every wait is bounded by a time-out;
// the destructor kills a child still running by its own process id and reaps it.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Ends the calling process at once, as a machine shutting down or a user ending the process
// ends it: no destructor, no handler and no buffered write runs (SIGKILL; TerminateProcess on
// Windows).
[[noreturn]] void EndThisProcessAtOnce();

class CChildProcess {
public:
    CChildProcess() = default;
    // Starts argv at once (see Start); Started() tells whether it ran.
    explicit CChildProcess(const std::vector<std::string>& argv);
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Starts argv[0], looked up on PATH, with argv. Entries "NAME=value" of env replace or
    // add to the test's own environment. With captureErrors the child's standard error joins
    // its standard output; otherwise it stays the test's. On Windows the texts are UTF-8, as
    // std::filesystem spells paths there, and the arguments are quoted by the rules of the
    // C library's command-line split.
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
               bool captureErrors = false);
    // Starts a process that runs until it is ended: a stand-in for a running product process
    // whose identifier a log carries (POSIX: a shell waiting for input; Windows: the stand-in
    // program built with the tests). Returns once the process has told its identifier.
    bool StartIdle(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Starts a process that opens path for reading and writing, as a product process holds its
    // log (POSIX: a shell with the file as its descriptor 3; Windows: the stand-in program,
    // without sharing), and returns once the file is open.
    bool StartHolding(const std::string& path,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10));

    bool Started() const { return pid_ > 0; }
    std::uint32_t Pid() const { return static_cast<std::uint32_t>(pid_); }

    // The next line of output, without its line end; false when no whole line arrives within
    // timeout or the output ends first.
    bool ReadLine(std::string& line, std::chrono::milliseconds timeout);
    // Waits up to timeout for the child to end, collecting its output. exitCode is its exit
    // status, or 128 + the signal number when a signal ended it.
    bool WaitForExit(std::chrono::milliseconds timeout, int& exitCode);
    // Closes the child's standard input, so that a child reading it sees its end.
    void CloseInput();
    // Output collected and not yet taken by ReadLine.
    const std::string& Output() const { return pending_; }
    // Ends the child at once (SIGKILL; TerminateProcess on Windows) and reaps it.
    void Kill();

private:
    bool Fetch(std::chrono::steady_clock::time_point deadline);
    void CloseDescriptors();

    int pid_ = -1;
#ifdef _WIN32
    // The output pipe with the overlapped read in flight on it, so that no wait is unbounded.
    // Its deleter is defined where the pipe is, so the shared code never needs its insides.
    class COutputPipe;
    struct COutputPipeDelete {
        COutputPipeDelete() = default;
        // Takes over a pipe from std::make_unique.
        COutputPipeDelete(std::default_delete<COutputPipe>) {}
        void operator()(COutputPipe* pipe) const;
    };
    void* process_ = nullptr;
    void* input_ = nullptr;
    std::unique_ptr<COutputPipe, COutputPipeDelete> output_;
#else
    int pidDescriptor_ = -1;
    int input_ = -1;
    int output_ = -1;
#endif
    std::string pending_;
};
