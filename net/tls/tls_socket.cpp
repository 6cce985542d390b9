// CTlsSocket: the TLS session between the client and its transport. Every operation takes one
// deadline from the time-out when it starts and hands the transport only what is left of it,
// so the handshake's several round trips, a send of many records or a receive that must first
// answer the session all end within the one time-out.
#include "net/tls/tls_socket.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "net/tls/tls_built_in_trust.h"
#include "platform/socket_error.h"

namespace {

// Plaintext sealed and sent per transport call: a few full records, so a large body is never
// copied whole and each call still moves enough to keep the connection busy.
constexpr std::size_t kSealBatch = 64 * 1024;
// Room of each transport receive: more than one whole record.
constexpr std::uint32_t kReceiveRoom = 32 * 1024;
// Bytes from the peer that the session has not taken in. The engine takes every whole record,
// so what waits is less than one record; a peer whose bytes pile up beyond this is speaking
// something else, and is not let grow the buffer for as long as the time-out allows.
constexpr std::size_t kMaxUnconsumed = 256 * 1024;

}  // namespace

CTlsSocket::CTlsSocket() : CTlsSocket(BuiltInTlsRoots()) {}

CTlsSocket::CTlsSocket(CTlsTrust trust) : trust_(std::move(trust)) {}

CTlsSocket::~CTlsSocket() = default;

bool CTlsSocket::ConnectTo(const char16_t* host, std::uint16_t port) {
    if (connected_) {
        return true;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs_);
    CloseSocket();
    const std::int32_t errorBefore = transport_.LastError();
    if (host == nullptr || !GiveTransportTimeLeft(deadline) || !transport_.ConnectTo(host, port)) {
        TransportFailed(errorBefore);
        CloseSocket();
        return false;
    }
    return ShakeHands(host, deadline);
}

bool CTlsSocket::ShakeHands(const char16_t* host, Clock::time_point deadline) {
    try {
        connected_ = Handshake(host, deadline);
    } catch (const std::bad_alloc&) {
        lastError_ = kWsaNotEnoughMemory;
    }
    if (!connected_) {
        CloseSocket();
    }
    return connected_;
}

bool CTlsSocket::ConnectToProxy(const char16_t* host, std::uint16_t port) {
    CloseSocket();
    const std::int32_t errorBefore = transport_.LastError();
    transport_.ExchangeTimeout(timeoutMs_);
    if (host == nullptr || !transport_.ConnectTo(host, port)) {
        TransportFailed(errorBefore);
        CloseSocket();
        return false;
    }
    toProxy_ = true;
    return true;
}

bool CTlsSocket::StartTunnelTls(const char16_t* host, const std::uint8_t* early,
                                std::uint32_t earlyLength) {
    if (!toProxy_ || host == nullptr) {
        lastError_ = kWsaNotConnected;
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs_);
    toProxy_ = false;
    try {
        received_.assign(early, early + earlyLength);
    } catch (const std::bad_alloc&) {
        lastError_ = kWsaNotEnoughMemory;
        CloseSocket();
        return false;
    }
    return ShakeHands(host, deadline);
}

bool CTlsSocket::Handshake(const char16_t* host, Clock::time_point deadline) {
    engine_ = std::make_unique<CTlsEngine>(trust_);
    std::vector<std::uint8_t> out;
    if (!engine_->Start(host, out)) {
        return EngineFailed();
    }
    for (;;) {
        if (!SendToPeer(out, deadline) || !ReceiveMore(deadline)) {
            return false;
        }
        if (peerClosed_) {
            lastError_ = kTlsFailure;
            return false;
        }
        out.clear();
        std::size_t consumed = 0;
        const CTlsEngine::Step step =
            engine_->Handshake(received_.data(), received_.size(), consumed, out);
        received_.erase(received_.begin(), received_.begin() + consumed);
        if (step == CTlsEngine::Step::kDone) {
            return SendToPeer(out, deadline);
        }
        if (step != CTlsEngine::Step::kWantRead) {
            // The alert that tells the peer why goes out if it can; the failure stands.
            SendToPeer(out, deadline);
            return EngineFailed();
        }
    }
}

bool CTlsSocket::SendBuffers(const CSocketBuffer* buffers, std::uint32_t count,
                             std::uint32_t& bytesSent) {
    bytesSent = 0;
    if (toProxy_) {
        transport_.ExchangeTimeout(timeoutMs_);
        const std::int32_t errorBefore = transport_.LastError();
        return transport_.SendBuffers(buffers, count, bytesSent) || TransportFailed(errorBefore);
    }
    if (!connected_) {
        lastError_ = kWsaNotConnected;
        return false;
    }
    if (const std::int32_t fault = CheckSocketBuffers(buffers, count)) {
        lastError_ = fault;
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs_);
    try {
        std::vector<std::uint8_t> sealed;
        std::uint32_t index = 0;
        std::size_t offset = 0;
        while (index < count) {
            sealed.clear();
            std::size_t batch = 0;
            for (; index < count && batch < kSealBatch; offset = 0, ++index) {
                const CSocketBuffer& piece = buffers[index];
                const std::size_t take =
                    std::min<std::size_t>(piece.len - offset, kSealBatch - batch);
                const auto* bytes = reinterpret_cast<const std::uint8_t*>(piece.buf);
                if (take > 0 && !engine_->Seal(bytes + offset, take, sealed)) {
                    return EngineFailed();
                }
                batch += take;
                offset += take;
                if (offset < piece.len) {
                    break;  // the batch is full; the rest of this piece starts the next one
                }
            }
            if (!SendToPeer(sealed, deadline)) {
                return false;
            }
            bytesSent += static_cast<std::uint32_t>(batch);
        }
        return true;
    } catch (const std::bad_alloc&) {
        lastError_ = kWsaNotEnoughMemory;
        return false;
    }
}

bool CTlsSocket::SendBytes(const void* buffer, std::uint32_t& size) {
    // The send only reads through the descriptor, whose layout is the system's.
    const CSocketBuffer one = {size, static_cast<char*>(const_cast<void*>(buffer))};
    return SendBuffers(&one, 1, size);
}

bool CTlsSocket::ReceiveBytes(void* buffer, std::uint32_t& size) {
    const std::uint32_t capacity = size;
    size = 0;
    if (toProxy_) {
        transport_.ExchangeTimeout(timeoutMs_);
        const std::int32_t errorBefore = transport_.LastError();
        size = capacity;
        return transport_.ReceiveBytes(buffer, size) || TransportFailed(errorBefore);
    }
    if (!connected_) {
        lastError_ = kWsaNotConnected;
        return false;
    }
    // No room would read as "0 bytes: the peer closed", so it is refused.
    if (buffer == nullptr || capacity == 0) {
        lastError_ = buffer == nullptr ? kWsaFault : kWsaInvalidArgument;
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs_);
    try {
        for (;;) {
            if (TakePlain(buffer, capacity, size) || peerClosed_) {
                return true;
            }
            if (!OpenReceived(deadline)) {
                return false;
            }
            if (TakePlain(buffer, capacity, size) || peerClosed_) {
                return true;
            }
            if (!ReceiveMore(deadline)) {
                return false;
            }
        }
    } catch (const std::bad_alloc&) {
        lastError_ = kWsaNotEnoughMemory;
        return false;
    }
}

void CTlsSocket::CloseSocket() {
    transport_.CloseSocket();
    engine_.reset();
    received_.clear();
    plain_.clear();
    plainTaken_ = 0;
    connected_ = false;
    toProxy_ = false;
    peerClosed_ = false;
}

std::uint32_t CTlsSocket::ExchangeTimeout(std::uint32_t milliseconds) {
    return std::exchange(timeoutMs_, milliseconds);
}

bool CTlsSocket::IsSchemeSupported(UrlSchemeKind kind) const {
    return kind == SchemeHttps;
}

bool CTlsSocket::GiveTransportTimeLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
        return false;
    }
    transport_.ExchangeTimeout(static_cast<std::uint32_t>(left.count()));
    return true;
}

bool CTlsSocket::TransportFailed(std::int32_t errorBefore) {
    if (transport_.LastError() != errorBefore) {
        lastError_ = transport_.LastError();
    }
    return false;
}

bool CTlsSocket::SendToPeer(const std::vector<std::uint8_t>& bytes, Clock::time_point deadline) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const std::int32_t errorBefore = transport_.LastError();
        std::uint32_t size =
            static_cast<std::uint32_t>(std::min<std::size_t>(bytes.size() - sent, UINT32_MAX));
        if (!GiveTransportTimeLeft(deadline) || !transport_.SendBytes(bytes.data() + sent, size)) {
            return TransportFailed(errorBefore);
        }
        sent += size;
    }
    return true;
}

bool CTlsSocket::ReceiveMore(Clock::time_point deadline) {
    const std::int32_t errorBefore = transport_.LastError();
    const std::size_t start = received_.size();
    if (start > kMaxUnconsumed) {
        lastError_ = kTlsFailure;
        return false;
    }
    received_.resize(start + kReceiveRoom);
    std::uint32_t size = kReceiveRoom;
    const bool received =
        GiveTransportTimeLeft(deadline) && transport_.ReceiveBytes(received_.data() + start, size);
    received_.resize(start + (received ? size : 0));
    if (!received) {
        return TransportFailed(errorBefore);
    }
    peerClosed_ = size == 0;
    return true;
}

bool CTlsSocket::OpenReceived(Clock::time_point deadline) {
    if (received_.empty()) {
        return true;
    }
    if (plainTaken_ == plain_.size()) {
        plain_.clear();
        plainTaken_ = 0;
    }
    std::vector<std::uint8_t> out;
    std::size_t consumed = 0;
    const CTlsEngine::Step step =
        engine_->Open(received_.data(), received_.size(), consumed, plain_, out);
    received_.erase(received_.begin(), received_.begin() + consumed);
    if (step == CTlsEngine::Step::kFailed) {
        SendToPeer(out, deadline);
        return EngineFailed();
    }
    peerClosed_ = step == CTlsEngine::Step::kClosed;
    return SendToPeer(out, deadline);
}

bool CTlsSocket::TakePlain(void* buffer, std::uint32_t capacity, std::uint32_t& size) {
    const std::size_t available = plain_.size() - plainTaken_;
    if (available == 0) {
        return false;
    }
    size = static_cast<std::uint32_t>(std::min<std::size_t>(available, capacity));
    std::memcpy(buffer, plain_.data() + plainTaken_, size);
    plainTaken_ += size;
    return true;
}

bool CTlsSocket::EngineFailed() {
    lastError_ = engine_ && engine_->ErrorCode() != 0 ? engine_->ErrorCode() : kTlsFailure;
    return false;
}
