// The cost of one in-use check (platform/file_use_probe.h) while other processes hold N
// descriptors (the argument), a third each on ordinary files, sockets and pipes: the log sender
// makes a few checks per log, and a machine may have 100,000 descriptors open. This process
// holds the file asked about through the descriptor it passes, as an exclusive open does.
// - A free file: nobody else has it open, the common case.
// - A held file: one more process holds it, started last, so that a scan in process order
//   meets it after all the others.
// - A file held under another name (a hard link): a descriptor's name no longer rules it out,
//   so every descriptor on a file costs its fdinfo as well.
// Counters: "held" is the descriptors the children hold, "machine" the files open on the whole
// machine (/proc/sys/fs/file-nr) at the end of the run.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_use_probe.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr char kAsked[] = "OmbrixLog.7.Runner.log";
// The held files: a handful of names, each opened many times over.
constexpr int kHeldFiles = 16;

// Children that hold count descriptors between them until the object ends: a process may hold
// no more than its hard limit allows (raised where the machine lets it), so as many children
// as that takes.
class CDescriptorHolders {
public:
    CDescriptorHolders(const CTempFolder& folder, long count) {
        if (pipe2(control_, O_CLOEXEC) != 0) {
            return;
        }
        std::vector<std::string> files;
        for (int i = 0; i < kHeldFiles; ++i) {
            files.push_back(folder.Write("held-" + std::to_string(i) + ".dat", "held").string());
        }
        held_ = 0;
        while (held_ < count) {
            const long more = StartChild(files, count - held_);
            if (more <= 0) {
                held_ = -1;
                break;
            }
            held_ += more;
        }
    }
    ~CDescriptorHolders() {
        for (const int end : control_) {
            if (end >= 0) {
                close(end);
            }
        }
        for (const pid_t pid : children_) {
            kill(pid, SIGKILL);
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
    }
    CDescriptorHolders(const CDescriptorHolders&) = delete;
    CDescriptorHolders& operator=(const CDescriptorHolders&) = delete;

    // -1 when the children could not hold them all.
    long Held() const { return held_; }

private:
    // The child tells how many it holds, then waits for the control pipe to close.
    long StartChild(const std::vector<std::string>& files, long count) {
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0) {
            return -1;
        }
        const pid_t pid = fork();
        if (pid == 0) {
            close(ready[0]);
            close(control_[1]);
            const long held = HoldInChild(files, count);
            (void)!write(ready[1], &held, sizeof held);
            char byte;
            while (read(control_[0], &byte, 1) < 0 && errno == EINTR) {
            }
            _exit(0);
        }
        close(ready[1]);
        long held = -1;
        if (pid > 0) {
            children_.push_back(pid);
            if (read(ready[0], &held, sizeof held) != sizeof held) {
                held = -1;
            }
        }
        close(ready[0]);
        return held;
    }

    static long HoldInChild(const std::vector<std::string>& files, long count) {
        rlimit limit = {static_cast<rlim_t>(count + 64), static_cast<rlim_t>(count + 64)};
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0) {
            getrlimit(RLIMIT_NOFILE, &limit);
            limit.rlim_cur = limit.rlim_max;
            setrlimit(RLIMIT_NOFILE, &limit);
        }
        const long room = static_cast<long>(limit.rlim_cur) - 64;
        long held = 0;
        const long wanted = std::min(count, room);
        for (long i = 0; held < wanted; ++i) {
            int got = 0;
            if (i % 3 == 0) {
                got =
                    open(files[static_cast<std::size_t>(i) % files.size()].c_str(), O_RDONLY) >= 0;
            } else if (i % 3 == 1) {
                got = socket(AF_UNIX, SOCK_STREAM, 0) >= 0;
            } else {
                int ends[2];
                got = pipe(ends) == 0 ? 2 : 0;
            }
            if (got == 0) {
                break;
            }
            held += got;
        }
        return held;
    }

    int control_[2] = {-1, -1};
    std::vector<pid_t> children_;
    long held_ = -1;
};

double FilesOpenOnTheMachine() {
    std::FILE* counts = std::fopen("/proc/sys/fs/file-nr", "re");
    unsigned long open = 0;
    if (counts != nullptr) {
        if (std::fscanf(counts, "%lu", &open) != 1) {
            open = 0;
        }
        std::fclose(counts);
    }
    return static_cast<double>(open);
}

enum class Asked { kFree, kHeld, kHeldUnderAnotherName };

void CheckWhileMany(benchmark::State& state, Asked asked) {
    CTempFolder folder;
    const std::string path = folder.Write(kAsked, "log").string();
    const std::string second = (folder.Path() / "second-name.log").string();
    if (asked == Asked::kHeldUnderAnotherName && link(path.c_str(), second.c_str()) != 0) {
        state.SkipWithError("no hard link");
        return;
    }
    // Both started before this process opens the file, so that neither inherits it; the holder
    // of the file after the others, so that a scan in process order reaches it last.
    CDescriptorHolders holders(folder, state.range(0));
    CChildProcess holder;
    if (asked != Asked::kFree &&
        !holder.StartHolding(asked == Asked::kHeldUnderAnotherName ? second : path)) {
        state.SkipWithError("the file could not be held");
        return;
    }
    const int own = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (own < 0 || holders.Held() < 0) {
        state.SkipWithError("the descriptors could not be held");
        if (own >= 0) {
            close(own);
        }
        return;
    }
    for (auto _ : state) {
        if (IsFileInUse(own, path) != (asked != Asked::kFree)) {
            state.SkipWithError("wrong answer");
            break;
        }
    }
    state.counters["held"] = static_cast<double>(holders.Held());
    state.counters["machine"] = FilesOpenOnTheMachine();
    close(own);
}

void BM_CheckAFreeFile(benchmark::State& state) {
    CheckWhileMany(state, Asked::kFree);
}

void BM_CheckAHeldFile(benchmark::State& state) {
    CheckWhileMany(state, Asked::kHeld);
}

void BM_CheckAFileHeldUnderAnotherName(benchmark::State& state) {
    CheckWhileMany(state, Asked::kHeldUnderAnotherName);
}

BENCHMARK(BM_CheckAFreeFile)->Arg(0)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckAHeldFile)->Arg(0)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckAFileHeldUnderAnotherName)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
