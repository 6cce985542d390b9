// CMemoryTlsPeer: the server end of a TLS session over memory buffers, for driving a
// CTlsEngine without a network: the test carries the bytes between the two by hand and so
// chooses where the transport cuts them. The peer presents a certificate for "localhost" that
// it made itself (once per process), whose PEM text is the trust a client needs.
#pragma once

#include <memory>
#include <string>

class CMemoryTlsPeer {
public:
    // maxTls12: the peer speaks TLS 1.2 at most (else 1.3 is allowed).
    explicit CMemoryTlsPeer(bool maxTls12 = false);
    ~CMemoryTlsPeer();
    CMemoryTlsPeer(const CMemoryTlsPeer&) = delete;
    CMemoryTlsPeer& operator=(const CMemoryTlsPeer&) = delete;

    // The peer's certificate, PEM; empty when it could not be made.
    static const std::string& CertificatePem();

    // Takes bytes the client sent, goes on with the handshake or reads the plaintext they
    // carry (Received), and returns every byte the peer sends in answer.
    std::string Take(const std::string& fromClient);
    // Records carrying plaintext (one SSL_write: records of at most 16 KiB).
    std::string Seal(const std::string& plaintext);
    // The close_notify alert.
    std::string CloseNotify();

    bool Established() const;
    bool Failed() const { return failed_; }
    const std::string& Received() const { return received_; }

private:
    struct CState;
    std::unique_ptr<CState> state_;
    std::string received_;
    bool failed_ = false;
};
