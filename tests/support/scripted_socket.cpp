// CScriptedSocket: plays a CSocketScript with the error numbers of the real socket (10057
// when not connected, 10061 for a refused connect, unchanged last error on a time-out).
#include "tests/support/scripted_socket.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::int32_t kNotConnected = 10057;
constexpr std::int32_t kConnectionRefused = 10061;

}  // namespace

CScriptedConnection& CScriptedConnection::Reply(std::string_view bytes) {
    reads_.push_back(Read{Read::Kind::kBytes, std::string(bytes), 0, 0});
    return *this;
}

CScriptedConnection& CScriptedConnection::ReplyInPieces(std::string_view bytes,
                                                        std::size_t pieceSize) {
    for (std::size_t at = 0; at < bytes.size(); at += pieceSize) {
        Reply(bytes.substr(at, pieceSize));
    }
    return *this;
}

CScriptedConnection& CScriptedConnection::ReplyCutAt(std::string_view bytes,
                                                     const std::vector<std::size_t>& cuts) {
    std::size_t from = 0;
    for (const std::size_t cut : cuts) {
        const std::size_t to = std::min(cut, bytes.size());
        if (to > from) {
            Reply(bytes.substr(from, to - from));
            from = to;
        }
    }
    if (from < bytes.size()) {
        Reply(bytes.substr(from));
    }
    return *this;
}

CScriptedConnection& CScriptedConnection::EmptyReads(int count) {
    for (int i = 0; i < count; ++i) {
        reads_.push_back(Read{Read::Kind::kBytes, std::string(), 0, 0});
    }
    return *this;
}

CScriptedConnection& CScriptedConnection::TimeOut() {
    reads_.push_back(Read{Read::Kind::kTimeout, std::string(), 0, 0});
    return *this;
}

CScriptedConnection& CScriptedConnection::Fail(std::int32_t error) {
    reads_.push_back(Read{Read::Kind::kError, std::string(), error, 0});
    return *this;
}

CScriptedConnection& CScriptedConnection::ThenTimeOut() {
    timeoutWhenPlayed_ = true;
    return *this;
}

CScriptedConnection& CScriptedConnection::AcceptOnly(std::size_t bytes) {
    acceptLimit_ = sent_.size() + bytes;
    return *this;
}

CScriptedConnection& CSocketScript::AddConnection() {
    connections_.emplace_back();
    return connections_.back();
}

void CSocketScript::RefuseNextConnect(std::int32_t error) {
    refusals_.push_back(error);
}

bool CScriptedSocket::ConnectTo(const char16_t* host, std::uint16_t port) {
    if (connection_ != nullptr) {
        return true;
    }
    if (!script_.refusals_.empty()) {
        lastError_ = script_.refusals_.front();
        script_.refusals_.pop_front();
        return false;
    }
    if (script_.opened_ == script_.connections_.size()) {
        lastError_ = kConnectionRefused;
        return false;
    }
    connection_ = &script_.connections_[script_.opened_++];
    script_.connects_.emplace_back(WideString(WideViewOf(host)), port);
    return true;
}

bool CScriptedSocket::ConnectToProxy(const char16_t* host, std::uint16_t port) {
    if (connection_ != nullptr) {
        return true;
    }
    if (!ConnectTo(host, port)) {
        return false;
    }
    script_.connects_.back().first.insert(0, u"proxy ");
    return true;
}

bool CScriptedSocket::StartTunnelTls(const char16_t* host, const std::uint8_t* early,
                                     std::uint32_t earlyLength) {
    CScriptedConnection* connection = Current();
    if (connection == nullptr || connection->tunnel_.started) {
        return false;
    }
    connection->tunnel_ = {true, WideString(WideViewOf(host)),
                           std::string(reinterpret_cast<const char*>(early), earlyLength),
                           connection->sent_.size()};
    return true;
}

CScriptedConnection* CScriptedSocket::Current() {
    if (connection_ == nullptr) {
        lastError_ = kNotConnected;
    }
    return connection_;
}

bool CScriptedSocket::SendBuffers(const CSocketBuffer* buffers, std::uint32_t count,
                                  std::uint32_t& bytesSent) {
    bytesSent = 0;
    CScriptedConnection* connection = Current();
    if (connection == nullptr) {
        return false;
    }
    bool stalled = false;
    for (std::uint32_t i = 0; i < count && !stalled; ++i) {
        const std::size_t room = connection->acceptLimit_ - connection->sent_.size();
        const std::size_t take = std::min<std::size_t>(buffers[i].len, room);
        connection->sent_.append(buffers[i].buf, take);
        bytesSent += static_cast<std::uint32_t>(take);
        stalled = take < buffers[i].len;
    }
    connection->writes_.push_back(CScriptedConnection::Write{bytesSent, count});
    return !stalled;
}

bool CScriptedSocket::SendBytes(const void* buffer, std::uint32_t& size) {
    const CSocketBuffer one{size, static_cast<char*>(const_cast<void*>(buffer))};
    return SendBuffers(&one, 1, size);
}

bool CScriptedSocket::ReceiveBytes(void* buffer, std::uint32_t& size) {
    CScriptedConnection* connection = Current();
    if (connection == nullptr) {
        return false;
    }
    const std::uint32_t room = size;
    size = 0;
    connection->readRooms_.push_back(room);
    if (connection->reads_.empty()) {
        return !connection->timeoutWhenPlayed_;
    }
    CScriptedConnection::Read& read = connection->reads_.front();
    if (read.kind != CScriptedConnection::Read::Kind::kBytes) {
        if (read.kind == CScriptedConnection::Read::Kind::kError) {
            lastError_ = read.error;
        }
        connection->reads_.pop_front();
        return false;
    }
    size = static_cast<std::uint32_t>(std::min<std::size_t>(room, read.bytes.size() - read.taken));
    std::memcpy(buffer, read.bytes.data() + read.taken, size);
    read.taken += size;
    if (read.taken == read.bytes.size()) {
        connection->reads_.pop_front();
    }
    return true;
}

void CScriptedSocket::CloseSocket() {
    if (connection_ != nullptr) {
        connection_->closedByClient_ = true;
        connection_ = nullptr;
    }
}

std::uint32_t CScriptedSocket::ExchangeTimeout(std::uint32_t milliseconds) {
    const std::uint32_t previous = script_.timeoutMs_;
    script_.timeoutMs_ = milliseconds;
    return previous;
}

bool CScriptedSocket::IsSchemeSupported(UrlSchemeKind kind) const {
    return kind == script_.scheme_;
}
