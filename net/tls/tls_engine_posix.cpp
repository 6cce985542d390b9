// CTlsEngine on POSIX: an OpenSSL 3 client session over two memory buffers, one for the bytes
// that came from the peer and one for the bytes to send it. The session never sees a socket, so
// it can neither block nor raise SIGPIPE; the caller's socket does every wait. Received bytes
// are handed to OpenSSL one whole record at a time (WholeTlsRecordLength), which makes the
// consumed counts exact: a record cut by the transport stays with the caller, and the records
// behind the handshake's last one are left to Open.
//
// Sessions of one trust share one SSL_CTX, made on first use and kept for the process: loading
// the system store costs tens of milliseconds. Every session asks for TLS 1.2 or newer, checks
// the chain against the trust and the certificate against the host name or IP literal
// (SSL_set1_host matches both), and sends SNI for names only, as IP literals must not carry it.
#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "net/tls/openssl_free.h"
#include "net/tls/tls_engine.h"
#include "net/tls/tls_record_length.h"
#include "platform/text_conversion.h"

namespace {

using ContextPtr = std::shared_ptr<SSL_CTX>;
using SslPtr = std::unique_ptr<SSL, CSslFree>;

// Adds every certificate of pem to store; false when there is none or one does not parse.
bool AddPemCertificates(const std::string& pem, X509_STORE* store) {
    std::unique_ptr<BIO, CBioFree> source(
        BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    if (!source) {
        return false;
    }
    int added = 0;
    for (;;) {
        std::unique_ptr<X509, CX509Free> certificate(
            PEM_read_bio_X509(source.get(), nullptr, nullptr, nullptr));
        if (!certificate) {
            break;
        }
        if (X509_STORE_add_cert(store, certificate.get()) != 1) {
            return false;
        }
        ++added;
    }
    // The read that ends the loop leaves "no start line" behind; anything else is a bad block.
    const unsigned long last = ERR_peek_last_error();
    const bool clean = last == 0 || ERR_GET_REASON(last) == PEM_R_NO_START_LINE;
    ERR_clear_error();
    return clean && added > 0;
}

// The trust's roots for a new context: the system store, or exactly the pinned certificates.
bool LoadTrust(SSL_CTX* context, const CTlsTrust& trust) {
    if (!trust.IsPinned()) {
        return SSL_CTX_set_default_verify_paths(context) == 1;
    }
    std::unique_ptr<X509_STORE, CStoreFree> store(X509_STORE_new());
    if (!store || !AddPemCertificates(trust.Pem(), store.get())) {
        return false;
    }
    SSL_CTX_set_cert_store(context, store.release());
    return true;
}

ContextPtr MakeContext(const CTlsTrust& trust) {
    ContextPtr context(SSL_CTX_new(TLS_client_method()), CContextFree());
    if (!context || SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION) != 1 ||
        !LoadTrust(context.get(), trust)) {
        return nullptr;
    }
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
    return context;
}

// The contexts made so far, by trust: whether it is pinned, then its text, so that pinned
// roots with an empty text never meet the system store's context. OpenSSL is initialised
// before the cache exists, so the cache is destroyed (and its contexts freed) before OpenSSL's
// own clean-up at exit.
class CContextCache {
public:
    CContextCache() { OPENSSL_init_ssl(0, nullptr); }

    ContextPtr For(const CTlsTrust& trust) {
        const std::lock_guard<std::mutex> lock(mutex_);
        auto key = std::make_pair(trust.IsPinned(), trust.Pem());
        const auto found = contexts_.find(key);
        if (found != contexts_.end()) {
            return found->second;
        }
        ContextPtr context = MakeContext(trust);
        if (context) {
            contexts_.emplace(std::move(key), context);
        }
        return context;
    }

private:
    std::mutex mutex_;
    std::map<std::pair<bool, std::string>, ContextPtr> contexts_;
};

ContextPtr SharedContext(const CTlsTrust& trust) {
    static CContextCache cache;
    return cache.For(trust);
}

// The host as OpenSSL takes it: UTF-8, an IPv6 literal without its brackets.
std::string HostName(const std::u16string& host) {
    std::string name = WideToNarrow(host);
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') {
        name = name.substr(1, name.size() - 2);
    }
    return name;
}

bool IsIpLiteral(const std::string& name) {
    unsigned char address[16];
    return inet_pton(AF_INET, name.c_str(), address) == 1 ||
           inet_pton(AF_INET6, name.c_str(), address) == 1;
}

}  // namespace

struct CTlsEngine::CState {
    ContextPtr context;
    SslPtr ssl;
    BIO* fromPeer = nullptr;  // owned by ssl
    BIO* toPeer = nullptr;    // owned by ssl
    bool established = false;

    // Makes the session for name over two fresh memory buffers; false when it cannot be made.
    bool Begin(const std::string& name) {
        ssl.reset(SSL_new(context.get()));
        if (!ssl) {
            return false;
        }
        std::unique_ptr<BIO, CBioFree> input(BIO_new(BIO_s_mem()));
        std::unique_ptr<BIO, CBioFree> output(BIO_new(BIO_s_mem()));
        if (!input || !output) {
            return false;
        }
        // An empty buffer means "more to come", never the end of the stream.
        BIO_set_mem_eof_return(input.get(), -1);
        fromPeer = input.release();
        toPeer = output.release();
        SSL_set_bio(ssl.get(), fromPeer, toPeer);
        SSL_set_connect_state(ssl.get());
        SSL_set_hostflags(ssl.get(), X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        return SSL_set1_host(ssl.get(), name.c_str()) == 1 &&
               (IsIpLiteral(name) || SSL_set_tlsext_host_name(ssl.get(), name.c_str()) == 1);
    }

    // Moves every byte the session wants sent to out.
    void Drain(std::vector<std::uint8_t>& out) const {
        const std::size_t pending = BIO_ctrl_pending(toPeer);
        if (pending == 0) {
            return;
        }
        const std::size_t start = out.size();
        out.resize(start + pending);
        const int read = BIO_read(toPeer, out.data() + start, static_cast<int>(pending));
        out.resize(start + static_cast<std::size_t>(read > 0 ? read : 0));
    }

    // Appends the plaintext of every record taken in to plain; the result of the read that
    // found no more.
    int ReadReady(std::vector<std::uint8_t>& plain) const {
        std::uint8_t block[16384];  // one record's plaintext at most
        for (;;) {
            ERR_clear_error();
            std::size_t read = 0;
            const int result = SSL_read_ex(ssl.get(), block, sizeof(block), &read);
            if (result != 1) {
                return result;
            }
            plain.insert(plain.end(), block, block + read);
        }
    }

    // Hands the next whole record of in (from consumed on) to the session. kWantRead when the
    // record is still incomplete, kFailed for bytes that cannot start a record, else kDone.
    Step FeedRecord(const std::uint8_t* in, std::size_t inLength, std::size_t& consumed) const {
        const std::size_t record = WholeTlsRecordLength(in + consumed, inLength - consumed);
        if (record == kTlsRecordInvalid) {
            return Step::kFailed;
        }
        if (record == 0) {
            return Step::kWantRead;
        }
        if (BIO_write(fromPeer, in + consumed, static_cast<int>(record)) !=
            static_cast<int>(record)) {
            return Step::kFailed;
        }
        consumed += record;
        return Step::kDone;
    }

    // The error code for a session that failed: a refused chain or name is the certificate's.
    std::int32_t FailureCode() const {
        ERR_clear_error();
        return SSL_get_verify_result(ssl.get()) != X509_V_OK ? kTlsCertificateRefused : kTlsFailure;
    }
};

CTlsEngine::CTlsEngine(const CTlsTrust& trust) : state_(std::make_unique<CState>()) {
    state_->context = SharedContext(trust);
}

CTlsEngine::~CTlsEngine() = default;

bool CTlsEngine::Start(const std::u16string& host, std::vector<std::uint8_t>& out) {
    CState& state = *state_;
    const std::string name = HostName(host);
    if (!state.context || state.ssl || error_ != 0 || name.empty() || !state.Begin(name)) {
        error_ = kTlsFailure;
        return false;
    }
    std::size_t consumed = 0;
    if (Handshake(nullptr, 0, consumed, out) != Step::kWantRead) {
        error_ = kTlsFailure;
        return false;
    }
    return true;
}

CTlsEngine::Step CTlsEngine::Handshake(const std::uint8_t* in, std::size_t inLength,
                                       std::size_t& consumed, std::vector<std::uint8_t>& out) {
    consumed = 0;
    CState& state = *state_;
    if (!state.ssl || error_ != 0) {
        error_ = error_ != 0 ? error_ : kTlsFailure;
        return Step::kFailed;
    }
    while (!state.established) {
        ERR_clear_error();
        const int result = SSL_do_handshake(state.ssl.get());
        state.Drain(out);
        if (result == 1) {
            state.established = true;
            break;
        }
        const int reason = SSL_get_error(state.ssl.get(), result);
        if (reason != SSL_ERROR_WANT_READ) {
            error_ = state.FailureCode();
            return Step::kFailed;
        }
        const Step fed = state.FeedRecord(in, inLength, consumed);
        if (fed != Step::kDone) {
            error_ = fed == Step::kFailed ? kTlsFailure : 0;
            return fed;
        }
    }
    return Step::kDone;
}

bool CTlsEngine::Seal(const std::uint8_t* plain, std::size_t length,
                      std::vector<std::uint8_t>& out) {
    CState& state = *state_;
    if (!state.established || error_ != 0) {
        error_ = error_ != 0 ? error_ : kTlsFailure;
        return false;
    }
    while (length > 0) {
        ERR_clear_error();
        std::size_t written = 0;
        if (SSL_write_ex(state.ssl.get(), plain, length, &written) != 1) {
            state.Drain(out);
            error_ = kTlsFailure;
            return false;
        }
        plain += written;
        length -= written;
    }
    state.Drain(out);
    return true;
}

CTlsEngine::Step CTlsEngine::Open(const std::uint8_t* in, std::size_t inLength,
                                  std::size_t& consumed, std::vector<std::uint8_t>& plain,
                                  std::vector<std::uint8_t>& out) {
    consumed = 0;
    CState& state = *state_;
    if (!state.established || error_ != 0) {
        error_ = error_ != 0 ? error_ : kTlsFailure;
        return Step::kFailed;
    }
    for (;;) {
        const int result = state.ReadReady(plain);
        state.Drain(out);
        const int reason = SSL_get_error(state.ssl.get(), result);
        if (reason == SSL_ERROR_ZERO_RETURN) {
            return Step::kClosed;
        }
        if (reason != SSL_ERROR_WANT_READ) {
            error_ = kTlsFailure;
            ERR_clear_error();
            return Step::kFailed;
        }
        const Step fed = state.FeedRecord(in, inLength, consumed);
        if (fed == Step::kFailed) {
            error_ = kTlsFailure;
            return fed;
        }
        if (fed == Step::kWantRead) {
            return consumed == inLength ? Step::kDone : Step::kWantRead;
        }
    }
}
