// CChildProcess on Linux: posix_spawnp with pipes for input and output, and a pidfd so that
// waiting for the child's end is a poll with a time-out instead of a sleep loop. SIGKILL and
// waitpid end it, so the destructor cannot hang on a child that ignores polite requests.
#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
    std::vector<std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string key = text.substr(0, text.find('=') + 1);
        bool replaced = false;
        for (const auto& added : extra) {
            replaced = replaced || added.compare(0, key.size(), key) == 0;
        }
        if (!replaced) {
            merged.push_back(text);
        }
    }
    merged.insert(merged.end(), extra.begin(), extra.end());
    return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (auto& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

void EndThisProcessAtOnce() {
    for (;;) {
        kill(getpid(), SIGKILL);
    }
}

bool CChildProcess::Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                          bool captureErrors) {
    Kill();
    pending_.clear();
    int input[2];
    int output[2];
    if (argv.empty() || pipe2(input, O_CLOEXEC) != 0) {
        return false;
    }
    if (pipe2(output, O_CLOEXEC) != 0) {
        close(input[0]);
        close(input[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    if (captureErrors) {
        posix_spawn_file_actions_adddup2(&actions, output[1], STDERR_FILENO);
    }
    std::vector<std::string> arguments = argv;
    std::vector<std::string> environment = MergedEnvironment(env);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, arguments[0].c_str(), &actions, nullptr,
                                     Pointers(arguments).data(), Pointers(environment).data());
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    close(output[1]);
    input_ = input[1];
    output_ = output[0];
    if (spawned != 0) {
        CloseDescriptors();
        return false;
    }
    pid_ = pid;
    // Called through syscall(): the glibc 2.36 header lacks C linkage for C++ callers. Without
    // a pidfd (kernels before 5.3) the child still runs; only WaitForExit needs it.
    pidDescriptor_ = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    return true;
}

bool CChildProcess::StartIdle(std::chrono::milliseconds timeout) {
    std::string line;
    return Start({"/bin/sh", "-c", "echo $$; read x"}) && ReadLine(line, timeout) &&
           line == std::to_string(pid_);
}

bool CChildProcess::StartHolding(const std::string& path, std::chrono::milliseconds timeout) {
    std::string line;
    return Start({"/bin/sh", "-c", "exec 3<>\"$1\" || exit 1; echo ready; read x", "sh", path}) &&
           ReadLine(line, timeout) && line == "ready";
}

bool CChildProcess::Fetch(Clock::time_point deadline) {
    for (;;) {
        if (output_ == -1) {
            return false;
        }
        pollfd ready = {output_, POLLIN, 0};
        const int count = poll(&ready, 1, RemainingMs(deadline));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        char buffer[4096];
        const ssize_t got = read(output_, buffer, sizeof buffer);
        if (got <= 0) {
            close(output_);
            output_ = -1;
            return false;
        }
        pending_.append(buffer, static_cast<std::size_t>(got));
        return true;
    }
}

bool CChildProcess::WaitForExit(std::chrono::milliseconds timeout, int& exitCode) {
    if (pid_ <= 0 || pidDescriptor_ < 0) {
        return false;
    }
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        pollfd watched[2] = {{pidDescriptor_, POLLIN, 0}, {output_, POLLIN, 0}};
        const int count = poll(watched, output_ == -1 ? 1 : 2, RemainingMs(deadline));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        if (output_ != -1 && watched[1].revents != 0) {
            Fetch(Clock::now());
        }
        if (watched[0].revents != 0) {
            break;
        }
    }
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    while (Fetch(Clock::now())) {
    }
    CloseDescriptors();
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

void CChildProcess::Kill() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }
    CloseDescriptors();
}

void CChildProcess::CloseInput() {
    if (input_ >= 0) {
        close(input_);
        input_ = -1;
    }
}

void CChildProcess::CloseDescriptors() {
    for (int* descriptor : {&input_, &output_, &pidDescriptor_}) {
        if (*descriptor >= 0) {
            close(*descriptor);
            *descriptor = -1;
        }
    }
}
