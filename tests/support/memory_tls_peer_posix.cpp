// CMemoryTlsPeer on OpenSSL: a server SSL over two memory buffers, with a P-256 key and a
// self-signed certificate for DNS:localhost made in memory on first use.
#include "tests/support/memory_tls_peer.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <mutex>

#include "net/tls/openssl_free.h"

namespace {

using KeyPtr = std::unique_ptr<EVP_PKEY, CKeyFree>;
using CertificatePtr = std::unique_ptr<X509, CX509Free>;

bool AddExtension(X509* certificate, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    std::unique_ptr<X509_EXTENSION, CExtensionFree> extension(
        X509V3_EXT_conf_nid(nullptr, &context, nid, value));
    return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

// The peer's key and certificate, made once per process.
struct CIdentity {
    KeyPtr key;
    CertificatePtr certificate;
    std::string pem;

    CIdentity() {
        key.reset(EVP_EC_gen("P-256"));
        certificate.reset(X509_new());
        X509* cert = certificate.get();
        if (!key || !cert) {
            return;
        }
        X509_set_version(cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
        X509_gmtime_adj(X509_getm_notAfter(cert), 3600L * 24 * 365);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
        X509_set_issuer_name(cert, name);
        X509_set_pubkey(cert, key.get());
        if (!AddExtension(cert, NID_subject_alt_name, "DNS:localhost") ||
            !AddExtension(cert, NID_basic_constraints, "critical,CA:TRUE") ||
            X509_sign(cert, key.get(), EVP_sha256()) == 0) {
            return;
        }
        std::unique_ptr<BIO, CBioFree> out(BIO_new(BIO_s_mem()));
        if (out && PEM_write_bio_X509(out.get(), cert) == 1) {
            char* data = nullptr;
            const long length = BIO_get_mem_data(out.get(), &data);
            pem.assign(data, static_cast<std::size_t>(length));
        }
    }
};

const CIdentity& Identity() {
    static const CIdentity identity;
    return identity;
}

std::string DrainBio(BIO* bio) {
    std::string bytes(BIO_ctrl_pending(bio), '\0');
    const int read =
        bytes.empty() ? 0 : BIO_read(bio, bytes.data(), static_cast<int>(bytes.size()));
    bytes.resize(read > 0 ? static_cast<std::size_t>(read) : 0);
    return bytes;
}

}  // namespace

struct CMemoryTlsPeer::CState {
    std::unique_ptr<SSL_CTX, CContextFree> context;
    std::unique_ptr<SSL, CSslFree> ssl;
    BIO* fromClient = nullptr;  // owned by ssl
    BIO* toClient = nullptr;    // owned by ssl
};

CMemoryTlsPeer::CMemoryTlsPeer(bool maxTls12) : state_(std::make_unique<CState>()) {
    const CIdentity& identity = Identity();
    state_->context.reset(SSL_CTX_new(TLS_server_method()));
    SSL_CTX* context = state_->context.get();
    if (identity.pem.empty() || !context ||
        SSL_CTX_use_certificate(context, identity.certificate.get()) != 1 ||
        SSL_CTX_use_PrivateKey(context, identity.key.get()) != 1) {
        failed_ = true;
        return;
    }
    if (maxTls12) {
        SSL_CTX_set_max_proto_version(context, TLS1_2_VERSION);
    }
    state_->ssl.reset(SSL_new(context));
    state_->fromClient = BIO_new(BIO_s_mem());
    state_->toClient = BIO_new(BIO_s_mem());
    BIO_set_mem_eof_return(state_->fromClient, -1);
    SSL_set_bio(state_->ssl.get(), state_->fromClient, state_->toClient);
    SSL_set_accept_state(state_->ssl.get());
}

CMemoryTlsPeer::~CMemoryTlsPeer() = default;

const std::string& CMemoryTlsPeer::CertificatePem() {
    return Identity().pem;
}

std::string CMemoryTlsPeer::Take(const std::string& fromClient) {
    if (failed_) {
        return {};
    }
    SSL* ssl = state_->ssl.get();
    if (!fromClient.empty()) {
        BIO_write(state_->fromClient, fromClient.data(), static_cast<int>(fromClient.size()));
    }
    ERR_clear_error();
    if (!SSL_is_init_finished(ssl)) {
        const int result = SSL_do_handshake(ssl);
        if (result != 1 && SSL_get_error(ssl, result) != SSL_ERROR_WANT_READ) {
            failed_ = true;
        }
    }
    if (SSL_is_init_finished(ssl)) {
        char block[16384];
        std::size_t read = 0;
        while (SSL_read_ex(ssl, block, sizeof(block), &read) == 1) {
            received_.append(block, read);
        }
    }
    ERR_clear_error();
    return DrainBio(state_->toClient);
}

std::string CMemoryTlsPeer::Seal(const std::string& plaintext) {
    std::size_t written = 0;
    if (failed_ ||
        SSL_write_ex(state_->ssl.get(), plaintext.data(), plaintext.size(), &written) != 1) {
        failed_ = true;
    }
    return DrainBio(state_->toClient);
}

std::string CMemoryTlsPeer::CloseNotify() {
    if (!failed_) {
        SSL_shutdown(state_->ssl.get());
    }
    return DrainBio(state_->toClient);
}

bool CMemoryTlsPeer::Established() const {
    return !failed_ && SSL_is_init_finished(state_->ssl.get());
}
