// CLoopbackServer: a test listener on 127.0.0.1 or ::1 with an ephemeral port. One thread
// accepts connections one after another and hands each to the test's handler as a
// CLoopbackConnection. Every connection operation is bounded by the connection's time-out,
// and stopping the server (destructor or Stop) wakes any wait at once, so the destructor
// returns within a bound even while a handler is blocked in a read or a write.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "net/socket/socket_library_init.h"

// One accepted connection, seen from the server side. Reads take what an earlier read
// fetched past its end first, so ReadUntil never loses the bytes that follow its delimiter.
class CLoopbackConnection {
public:
    // wakeHandle: what the server signals to stop (the read end of a pipe on POSIX, an event
    // object on Windows).
    CLoopbackConnection(std::intptr_t socket, std::intptr_t wakeHandle,
                        std::chrono::milliseconds timeout);
    ~CLoopbackConnection();
    CLoopbackConnection(const CLoopbackConnection&) = delete;
    CLoopbackConnection& operator=(const CLoopbackConnection&) = delete;

    // Time-out of every later operation (the whole operation, not each wait inside it).
    void SetTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }

    // Appends at least one and at most maxBytes bytes to out. False on time-out, peer close,
    // error or server stop.
    bool ReadSome(std::string& out, std::size_t maxBytes = 65536);
    // Appends bytes up to and including the first occurrence of text. False when it does not
    // arrive in time; out then holds what arrived.
    bool ReadUntil(std::string_view text, std::string& out);
    // Appends exactly count bytes; false when they do not all arrive in time.
    bool ReadExactly(std::size_t count, std::string& out);
    // Appends everything until the peer closes its side; false when it does not close in time.
    bool ReadAll(std::string& out);
    // Writes every byte (no SIGPIPE); false on time-out, error or server stop.
    bool Write(std::string_view bytes);
    // Waits without reading until the server stops or the time-out passes, for a peer that
    // accepts and never answers or never reads.
    void Idle();

    void ShutdownWrite();
    void Close();
    // Closes with an immediate reset (linger 0): the client sees a reset, not an orderly end.
    void ResetConnection();

    // Every byte read from the peer so far, in order.
    const std::string& Received() const { return received_; }
    bool PeerClosed() const { return peerClosed_; }

private:
    using Clock = std::chrono::steady_clock;

    // Moves up to maxBytes bytes (pending ones first) to out; false on time-out or end.
    bool Fetch(std::string& out, std::size_t maxBytes, Clock::time_point deadline);

    // The platform half of Fetch: one receive from the socket, waiting at most until the
    // deadline or the server's stop; the bytes go to out and received_, the peer's close to
    // peerClosed_.
    bool ReceiveSome(std::string& out, std::size_t maxBytes, Clock::time_point deadline);

    std::intptr_t socket_;
    std::intptr_t wakeHandle_;
#ifdef _WIN32
    void* socketEvent_ = nullptr;  // selected for the socket's network events
#endif
    std::chrono::milliseconds timeout_;
    std::string pending_;
    std::string received_;
    bool peerClosed_ = false;
};

class CLoopbackServer {
public:
    using Handler = std::function<void(CLoopbackConnection&)>;
    enum class Family { kIpv4, kIpv6 };

    // Starts listening and the accept thread. When the address family is not available
    // (no ::1 on the machine), IsListening() is false and no thread runs.
    explicit CLoopbackServer(Handler handler, Family family = Family::kIpv4,
                             std::chrono::milliseconds timeout = std::chrono::seconds(5));
    ~CLoopbackServer();
    CLoopbackServer(const CLoopbackServer&) = delete;
    CLoopbackServer& operator=(const CLoopbackServer&) = delete;

    bool IsListening() const { return listener_ != -1; }
    std::uint16_t Port() const { return port_; }
    // Number of connections handed to the handler so far.
    int AcceptedCount() const { return accepted_.load(); }
    // Number of handler runs that have returned.
    int FinishedCount() const { return finished_.load(); }
    // Wait until `count` connections have been accepted / handler runs have returned; false
    // when that takes longer than timeout.
    bool WaitForAccepted(int count, std::chrono::milliseconds timeout);
    bool WaitForFinished(int count, std::chrono::milliseconds timeout);
    // Stops accepting, wakes every wait of the running handler and joins the thread.
    void Stop();

private:
    void AcceptLoop();
    // The next accepted connection's socket, or -1 once the server stops (platform half).
    std::intptr_t AcceptNext();
    std::intptr_t WakeHandle() const;
    void Count(std::atomic<int>& counter);
    bool WaitForCount(const std::atomic<int>& counter, int count,
                      std::chrono::milliseconds timeout);

    // Started for the server's lifetime: a test may make a server before any socket object.
    CSocketLibraryInit library_;
    Handler handler_;
    std::chrono::milliseconds timeout_;
    std::intptr_t listener_ = -1;
    std::uint16_t port_ = 0;
#ifdef _WIN32
    void* wakeEvent_ = nullptr;    // manual-reset; Stop sets it and nothing resets it
    void* listenEvent_ = nullptr;  // selected for the listener's FD_ACCEPT
#else
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
#endif
    std::atomic<int> accepted_{0};
    std::atomic<int> finished_{0};
    std::mutex stopMutex_;
    std::mutex countMutex_;
    std::condition_variable countChanged_;
    std::thread thread_;
};
