// CDiscoveryWorker: one pending job, one result, each tagged with the job's ticket so that a
// late result is never taken for a later job's.
#include "net/proxy/discovery_worker.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

struct CDiscoveryWorker::CShared {
    std::mutex mutex;
    std::condition_variable changed;
    bool closing = false;
    std::uint64_t lastTicket = 0;
    Job pending;  // empty when no job waits for the thread
    std::uint64_t pendingTicket = 0;
    std::optional<CDiscoveryResult> result;
    std::uint64_t resultTicket = 0;  // the job result belongs to; 0 for none
};

CDiscoveryWorker::CDiscoveryWorker() : shared_(std::make_shared<CShared>()) {}

CDiscoveryWorker::~CDiscoveryWorker() {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->closing = true;
    shared_->pending = nullptr;
    shared_->changed.notify_all();
}

bool CDiscoveryWorker::StartThread() {
    if (!started_) {
        try {
            std::thread(Serve, shared_).detach();
            started_ = true;
        } catch (const std::system_error&) {
            return false;
        }
    }
    return true;
}

std::optional<CDiscoveryResult> CDiscoveryWorker::Run(Job job, std::chrono::milliseconds wait) {
    if (!StartThread()) {
        return std::nullopt;
    }
    std::unique_lock<std::mutex> lock(shared_->mutex);
    const std::uint64_t ticket = ++shared_->lastTicket;
    shared_->pending = std::move(job);
    shared_->pendingTicket = ticket;
    shared_->changed.notify_all();
    if (!shared_->changed.wait_for(lock, wait,
                                   [&] { return shared_->resultTicket == ticket; })) {
        return std::nullopt;
    }
    return std::move(shared_->result);
}

void CDiscoveryWorker::Serve(std::shared_ptr<CShared> shared) {
    std::unique_lock<std::mutex> lock(shared->mutex);
    for (;;) {
        shared->changed.wait(lock, [&] { return shared->closing || shared->pending; });
        if (shared->closing) {
            return;
        }
        const Job job = std::move(shared->pending);
        shared->pending = nullptr;
        const std::uint64_t ticket = shared->pendingTicket;
        lock.unlock();
        std::optional<CDiscoveryResult> result;
        try {
            result = job();
        } catch (...) {
            result.reset();
        }
        lock.lock();
        shared->result = std::move(result);
        shared->resultTicket = ticket;
        shared->changed.notify_all();
    }
}
