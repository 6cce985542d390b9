// CDiscoveryWorker: the discovery thread, the program's only second thread. The run hands it
// one job at a time (asking auto-config scripts, which WinHTTP may let block far beyond any
// time-out) and waits for the job's result with the time it has left; a result that comes
// later is dropped, and the run goes on without it. The thread starts with the first job and
// holds the state it shares with the worker object through shared ownership, so the object
// (and the run) may end while a job still blocks: the thread then finishes that job, finds
// nobody waiting and ends, or is ended with the process. Nothing the job captures may refer
// to memory of the run; a job owns what it uses.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "net/proxy/proxy_route.h"

// What a job found out: the route its scripts named, if any, and which script sources
// failed, so that the run asks them no more.
struct CDiscoveryResult {
    std::optional<CProxyRoute> route;
    bool pacUrlFailed = false;
    bool autoDetectFailed = false;
};

class CDiscoveryWorker {
public:
    using Job = std::function<CDiscoveryResult()>;

    CDiscoveryWorker();
    // Tells the thread to end; never waits for a job that still blocks.
    ~CDiscoveryWorker();
    CDiscoveryWorker(const CDiscoveryWorker&) = delete;
    CDiscoveryWorker& operator=(const CDiscoveryWorker&) = delete;

    // Runs job on the thread and waits at most wait for its result. Nothing when the result
    // did not come in time (it is dropped when it comes), the job threw, or the thread could
    // not be started. A job given while an earlier one still blocks waits behind it.
    std::optional<CDiscoveryResult> Run(Job job, std::chrono::milliseconds wait);

private:
    struct CShared;
    static void Serve(std::shared_ptr<CShared> shared);
    bool StartThread();

    std::shared_ptr<CShared> shared_;
    bool started_ = false;
};
