// CTlsEngine on Windows: a Schannel client context driven through SSPI over byte buffers
// (InitializeSecurityContextW for the handshake, EncryptMessage and DecryptMessage for the
// records), with the peer's certificate chain checked by this file, never by Schannel.
//
// What the platform does and why this file is shaped around it:
// - Schannel is told to leave certificates alone (SCH_CRED_MANUAL_CRED_VALIDATION): under Wine
//   its automatic check accepts self-signed, expired and wrong-name certificates alike. Once
//   the handshake ends, the chain is built with CertGetCertificateChain (for pinned trust on an
//   engine whose exclusive roots are exactly the PEM's certificates, else on the default engine)
//   and judged by CERT_CHAIN_POLICY_SSL with the host name; it passes only when the policy
//   error and the chain's own error status are both 0, since under Wine the policy alone passed
//   a chain that stopped short of any root.
// - SSPI reports how much of the input it used through a SECBUFFER_EXTRA buffer (the unused
//   tail) and an incomplete record through SEC_E_INCOMPLETE_MESSAGE; both become the engine's
//   consumed count and kWantRead. Input is copied to a buffer of the session first, since
//   Schannel decrypts in place.
// - The peer's close arrives as SEC_I_CONTEXT_EXPIRED on Windows and, under Wine, as an alert
//   record that decrypts to 0 bytes; both end the stream.
// - TLS 1.3 post-handshake messages (tickets, key updates) come back from DecryptMessage as
//   SEC_I_RENEGOTIATE and are handed to InitializeSecurityContextW; Wine speaks TLS 1.2 only,
//   so that path runs only on Windows. A full renegotiation is never taken.
// - One credentials handle serves every session of the process: it carries no trust (the check
//   is this file's), and making one per connection would only cost time.
#define SECURITY_WIN32
#include <windows.h>

#include <wincrypt.h>

#include <schannel.h>
#include <security.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <string_view>

#include "net/tls/tls_engine.h"
#include "platform/wide_call_text.h"

namespace {

// Offered input is taken up to this many bytes per call; the rest is left unconsumed. It keeps
// every buffer length within the 32-bit counts of SSPI.
constexpr std::size_t kMaxOffer = 0x40000000;
// A PEM certificate block longer than this is no certificate the session would trust.
constexpr std::size_t kMaxPemBlock = 0x100000;
// The record type of an alert: a TLS 1.2 close_notify is visible in the record's first byte.
constexpr std::uint8_t kAlertRecord = 21;

constexpr ULONG kContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                  ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY |
                                  ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR |
                                  ISC_REQ_MANUAL_CRED_VALIDATION | ISC_REQ_USE_SUPPLIED_CREDS;

// The process's Schannel client credentials: TLS 1.2 and 1.3, no client certificate, no
// automatic certificate check.
class CCredentials {
public:
    CCredentials() = default;
    ~CCredentials() {
        if (valid_) {
            FreeCredentialsHandle(&handle_);
        }
    }
    CCredentials(const CCredentials&) = delete;
    CCredentials& operator=(const CCredentials&) = delete;

    // A system that does not know TLS 1.3 in this credentials record refuses the request;
    // TLS 1.2 alone is asked for then.
    bool Acquire() {
        return AcquireFor(SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT) ||
               AcquireFor(SP_PROT_TLS1_2_CLIENT);
    }
    CredHandle* Handle() { return &handle_; }

private:
    bool AcquireFor(DWORD protocols) {
        SCHANNEL_CRED settings{};
        settings.dwVersion = SCHANNEL_CRED_VERSION;
        settings.grbitEnabledProtocols = protocols;
        settings.dwFlags =
            SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
        TimeStamp expiry{};
        valid_ = AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W),
                                           SECPKG_CRED_OUTBOUND, nullptr, &settings, nullptr,
                                           nullptr, &handle_, &expiry) == SEC_E_OK;
        return valid_;
    }

    CredHandle handle_{};
    bool valid_ = false;
};

// Made on first use and kept for the process; a failed attempt is tried again next time.
std::shared_ptr<CCredentials> SharedCredentials() {
    static std::mutex lock;
    static std::shared_ptr<CCredentials> shared;
    const std::lock_guard<std::mutex> guard(lock);
    if (!shared) {
        auto made = std::make_shared<CCredentials>();
        if (made->Acquire()) {
            shared = std::move(made);
        }
    }
    return shared;
}

class CSecurityContext {
public:
    CSecurityContext() = default;
    ~CSecurityContext() {
        if (valid_) {
            DeleteSecurityContext(&handle_);
        }
    }
    CSecurityContext(const CSecurityContext&) = delete;
    CSecurityContext& operator=(const CSecurityContext&) = delete;

    // The context to continue, or null for the first call, which makes it.
    CtxtHandle* Current() { return valid_ ? &handle_ : nullptr; }
    CtxtHandle* Target() { return &handle_; }
    void MarkMade() { valid_ = true; }

private:
    CtxtHandle handle_{};
    bool valid_ = false;
};

struct CContextBufferFree {
    void operator()(void* buffer) const { FreeContextBuffer(buffer); }
};
struct CCertificateFree {
    void operator()(const CERT_CONTEXT* certificate) const {
        CertFreeCertificateContext(certificate);
    }
};
struct CStoreClose {
    void operator()(void* store) const { CertCloseStore(store, 0); }
};
struct CChainEngineFree {
    void operator()(void* engine) const {
        CertFreeCertificateChainEngine(static_cast<HCERTCHAINENGINE>(engine));
    }
};
struct CChainFree {
    void operator()(const CERT_CHAIN_CONTEXT* chain) const { CertFreeCertificateChain(chain); }
};
using CContextBuffer = std::unique_ptr<void, CContextBufferFree>;
using CCertificate = std::unique_ptr<const CERT_CONTEXT, CCertificateFree>;
using CStore = std::unique_ptr<void, CStoreClose>;
using CChainEngine = std::unique_ptr<void, CChainEngineFree>;
using CChain = std::unique_ptr<const CERT_CHAIN_CONTEXT, CChainFree>;

SecBuffer MakeBuffer(unsigned long type, void* data, std::size_t length) {
    SecBuffer buffer{};
    buffer.BufferType = type;
    buffer.pvBuffer = data;
    buffer.cbBuffer = static_cast<unsigned long>(length);
    return buffer;
}

// The length of the SECBUFFER_EXTRA tail SSPI left in buffers (0 when none), never more than
// the offered length.
std::size_t ExtraLength(const SecBuffer* buffers, std::size_t count, std::size_t offered) {
    for (std::size_t i = 0; i < count; ++i) {
        if (buffers[i].BufferType == SECBUFFER_EXTRA) {
            return std::min<std::size_t>(buffers[i].cbBuffer, offered);
        }
    }
    return 0;
}

// Each certificate block of the PEM text, decoded into a new memory store; null when a block
// does not decode or the text holds none.
CStore LoadPinnedRoots(const std::string& pem) {
    constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----";
    constexpr std::string_view kEnd = "-----END CERTIFICATE-----";
    CStore store(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
    if (!store) {
        return nullptr;
    }
    std::size_t count = 0;
    for (std::size_t begin = pem.find(kBegin); begin != std::string::npos;
         begin = pem.find(kBegin, begin)) {
        const std::size_t end = pem.find(kEnd, begin);
        if (end == std::string::npos || end + kEnd.size() - begin > kMaxPemBlock) {
            return nullptr;
        }
        const DWORD blockLength = static_cast<DWORD>(end + kEnd.size() - begin);
        DWORD size = 0;
        if (!CryptStringToBinaryA(pem.data() + begin, blockLength, CRYPT_STRING_BASE64HEADER,
                                  nullptr, &size, nullptr, nullptr) ||
            size == 0 || size > kMaxPemBlock) {
            return nullptr;
        }
        std::vector<BYTE> der(size);
        if (!CryptStringToBinaryA(pem.data() + begin, blockLength, CRYPT_STRING_BASE64HEADER,
                                  der.data(), &size, nullptr, nullptr) ||
            !CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, der.data(), size,
                                              CERT_STORE_ADD_USE_EXISTING, nullptr)) {
            return nullptr;
        }
        ++count;
        begin = end + kEnd.size();
    }
    return count > 0 ? std::move(store) : nullptr;
}

// A chain engine whose only roots are those of pinnedRoots. The size given stops before the
// newest fields: Wine refuses the record at its full size, and Windows takes the older one.
CChainEngine MakePinnedEngine(void* pinnedRoots) {
    CERT_CHAIN_ENGINE_CONFIG config{};
    config.cbSize = offsetof(CERT_CHAIN_ENGINE_CONFIG, dwExclusiveFlags);
    config.hExclusiveRoot = pinnedRoots;
    config.dwFlags = CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL;
    HCERTCHAINENGINE engine = nullptr;
    if (!CertCreateCertificateChainEngine(&config, &engine)) {
        return nullptr;
    }
    return CChainEngine(engine);
}

CChain BuildChain(HCERTCHAINENGINE engine, const CERT_CONTEXT* leaf) {
    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuth};
    CERT_CHAIN_PARA parameters{};
    parameters.cbSize = sizeof(parameters);
    parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
    parameters.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    const CERT_CHAIN_CONTEXT* chain = nullptr;
    // From the cache only: fetching a missing issuer from the certificate's own addresses would
    // wait on the network beyond the connection's time-out, inside this one call.
    if (!CertGetCertificateChain(engine, leaf, nullptr, leaf->hCertStore, &parameters,
                                 CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, &chain)) {
        return nullptr;
    }
    return CChain(chain);
}

// The SSL policy for a server named host; both its verdict and the chain's own status count.
bool ChainPassesFor(const CERT_CHAIN_CONTEXT* chain, std::u16string& host) {
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof(ssl);
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = ToWideCall(&host[0]);
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof(policy);
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof(status);
    return CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status) &&
           status.dwError == 0 && chain->TrustStatus.dwErrorStatus == 0;
}

// An IP literal is sent as no server name: a name indication carries host names only.
bool IsIpLiteral(const std::u16string& host) {
    const bool hasColon = host.find(u':') != std::u16string::npos;
    const bool dottedDigits =
        !host.empty() && std::all_of(host.begin(), host.end(), [](char16_t c) {
            return c == u'.' || (c >= u'0' && c <= u'9');
        });
    return hasColon || dottedDigits;
}

// Schannel's own verdicts on a certificate, should it give one despite manual validation.
bool IsCertificateVerdict(SECURITY_STATUS status) {
    switch (status) {
        case SEC_E_UNTRUSTED_ROOT:
        case SEC_E_CERT_EXPIRED:
        case SEC_E_WRONG_PRINCIPAL:
        case SEC_E_CERT_UNKNOWN:
            return true;
        default:
            return false;
    }
}

void AppendToken(const SecBuffer& token, std::vector<std::uint8_t>& out) {
    if (token.pvBuffer != nullptr && token.cbBuffer > 0) {
        const auto* bytes = static_cast<const std::uint8_t*>(token.pvBuffer);
        out.insert(out.end(), bytes, bytes + token.cbBuffer);
    }
}

}  // namespace

struct CTlsEngine::CState {
    enum class Phase { kIdle, kHandshake, kOpen, kClosed, kFailed };

    // One InitializeSecurityContextW step. input: the offered bytes (null for the first call,
    // which has none); extra receives the length of their unused tail. Every output token is
    // appended to out.
    SECURITY_STATUS Initialize(std::uint8_t* input, std::size_t length, std::size_t& extra,
                               std::vector<std::uint8_t>& out);
    // The end of the handshake: the chain check, then the record sizes. error receives the
    // code of a refusal or failure.
    Step Finish(std::int32_t& error);
    bool PeerIsTrusted();
    // Decrypts the record at the head of scratch[offset, length): plain gains its plaintext,
    // taken the length of that record (and of any record SSPI went on to decrypt).
    SECURITY_STATUS Decrypt(std::size_t offset, std::size_t length, std::size_t& taken,
                            std::vector<std::uint8_t>& plain);
    // A TLS 1.3 post-handshake message that DecryptMessage announced: handed to the context
    // with the bytes behind it, of which taken receives the count it used.
    bool TakePostHandshake(std::size_t offset, std::size_t length, std::size_t& taken,
                           std::vector<std::uint8_t>& out);
    // Takes the offered input into scratch (up to kMaxOffer bytes) and gives its length.
    std::size_t TakeInput(const std::uint8_t* in, std::size_t inLength);

    CTlsTrust trust = CTlsTrust::SystemStore();
    std::shared_ptr<CCredentials> credentials;
    CStore pinnedRoots;
    CSecurityContext context;
    std::u16string host;
    std::u16string targetName;  // empty for an IP literal
    SecPkgContext_StreamSizes sizes{};
    std::vector<std::uint8_t> scratch;
    Phase phase = Phase::kIdle;
};

SECURITY_STATUS CTlsEngine::CState::Initialize(std::uint8_t* input, std::size_t length,
                                               std::size_t& extra, std::vector<std::uint8_t>& out) {
    SecBuffer inBuffers[2] = {MakeBuffer(SECBUFFER_TOKEN, input, length),
                              MakeBuffer(SECBUFFER_EMPTY, nullptr, 0)};
    SecBufferDesc inDesc{SECBUFFER_VERSION, 2, inBuffers};
    SecBuffer outBuffers[1] = {MakeBuffer(SECBUFFER_TOKEN, nullptr, 0)};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, outBuffers};
    wchar_t* target = targetName.empty() ? nullptr : ToWideCall(&targetName[0]);
    ULONG attributes = 0;
    const SECURITY_STATUS status = InitializeSecurityContextW(
        credentials->Handle(), context.Current(), target, kContextRequest, 0, 0,
        input != nullptr ? &inDesc : nullptr, 0, context.Target(), &outDesc, &attributes, nullptr);
    const CContextBuffer token(outBuffers[0].pvBuffer);
    if (context.Current() == nullptr && (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK)) {
        context.MarkMade();
    }
    AppendToken(outBuffers[0], out);
    extra = input != nullptr ? ExtraLength(inBuffers, 2, length) : 0;
    return status;
}

bool CTlsEngine::CState::PeerIsTrusted() {
    const CERT_CONTEXT* peer = nullptr;
    if (QueryContextAttributesW(context.Target(), SECPKG_ATTR_REMOTE_CERT_CONTEXT, &peer) !=
            SEC_E_OK ||
        peer == nullptr) {
        return false;
    }
    const CCertificate leaf(peer);
    CChainEngine engine;
    if (pinnedRoots) {
        engine = MakePinnedEngine(pinnedRoots.get());
        if (!engine) {
            return false;
        }
    }
    const CChain chain = BuildChain(static_cast<HCERTCHAINENGINE>(engine.get()), leaf.get());
    return chain && ChainPassesFor(chain.get(), host);
}

std::size_t CTlsEngine::CState::TakeInput(const std::uint8_t* in, std::size_t inLength) {
    const std::size_t length = in != nullptr ? std::min(inLength, kMaxOffer) : 0;
    scratch.assign(in, in + length);
    return length;
}

CTlsEngine::CTlsEngine(const CTlsTrust& trust) : state_(std::make_unique<CState>()) {
    state_->trust = trust;
}

CTlsEngine::~CTlsEngine() = default;

bool CTlsEngine::Start(const std::u16string& host, std::vector<std::uint8_t>& out) {
    CState& state = *state_;
    error_ = kTlsFailure;
    if (state.phase != CState::Phase::kIdle || host.empty()) {
        return false;
    }
    state.phase = CState::Phase::kFailed;
    if (state.trust.IsPinned()) {
        state.pinnedRoots = LoadPinnedRoots(state.trust.Pem());
        if (!state.pinnedRoots) {
            return false;
        }
    }
    state.credentials = SharedCredentials();
    if (!state.credentials) {
        return false;
    }
    state.host = host;
    state.targetName = IsIpLiteral(host) ? std::u16string() : host;
    std::size_t extra = 0;
    if (state.Initialize(nullptr, 0, extra, out) != SEC_I_CONTINUE_NEEDED) {
        return false;
    }
    state.phase = CState::Phase::kHandshake;
    error_ = 0;
    return true;
}

CTlsEngine::Step CTlsEngine::Handshake(const std::uint8_t* in, std::size_t inLength,
                                       std::size_t& consumed, std::vector<std::uint8_t>& out) {
    CState& state = *state_;
    consumed = 0;
    if (state.phase == CState::Phase::kOpen) {
        return Step::kDone;
    }
    if (state.phase != CState::Phase::kHandshake) {
        error_ = error_ != 0 ? error_ : kTlsFailure;
        return Step::kFailed;
    }
    const std::size_t offered = state.TakeInput(in, inLength);
    // Each round takes at least one byte, or returns.
    while (consumed < offered) {
        std::size_t extra = 0;
        const std::size_t remaining = offered - consumed;
        const SECURITY_STATUS status =
            state.Initialize(state.scratch.data() + consumed, remaining, extra, out);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            return Step::kWantRead;
        }
        if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
            state.phase = CState::Phase::kFailed;
            error_ = IsCertificateVerdict(status) ? kTlsCertificateRefused : kTlsFailure;
            return Step::kFailed;
        }
        consumed += remaining - extra;
        if (status == SEC_E_OK) {
            return state.Finish(error_);
        }
        if (extra == remaining) {
            return Step::kWantRead;
        }
    }
    return Step::kWantRead;
}

CTlsEngine::Step CTlsEngine::CState::Finish(std::int32_t& error) {
    if (!PeerIsTrusted()) {
        phase = Phase::kFailed;
        error = kTlsCertificateRefused;
        return Step::kFailed;
    }
    if (QueryContextAttributesW(context.Target(), SECPKG_ATTR_STREAM_SIZES, &sizes) != SEC_E_OK ||
        sizes.cbMaximumMessage == 0) {
        phase = Phase::kFailed;
        error = kTlsFailure;
        return Step::kFailed;
    }
    phase = Phase::kOpen;
    return Step::kDone;
}

SECURITY_STATUS CTlsEngine::CState::Decrypt(std::size_t offset, std::size_t length,
                                            std::size_t& taken, std::vector<std::uint8_t>& plain) {
    std::uint8_t* record = scratch.data() + offset;
    SecBuffer buffers[4] = {
        MakeBuffer(SECBUFFER_DATA, record, length), MakeBuffer(SECBUFFER_EMPTY, nullptr, 0),
        MakeBuffer(SECBUFFER_EMPTY, nullptr, 0), MakeBuffer(SECBUFFER_EMPTY, nullptr, 0)};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = DecryptMessage(context.Target(), &desc, 0, nullptr);
    taken = 0;
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) {
        return status;
    }
    taken = length - ExtraLength(buffers, 4, length);
    for (const SecBuffer& buffer : buffers) {
        const auto* data = static_cast<const std::uint8_t*>(buffer.pvBuffer);
        // The plaintext lies inside the record it came from, or it is no plaintext.
        if (buffer.BufferType == SECBUFFER_DATA && data >= record && buffer.cbBuffer <= taken &&
            static_cast<std::size_t>(data - record) <= taken - buffer.cbBuffer) {
            plain.insert(plain.end(), data, data + buffer.cbBuffer);
        }
    }
    return status;
}

bool CTlsEngine::CState::TakePostHandshake(std::size_t offset, std::size_t length,
                                           std::size_t& taken, std::vector<std::uint8_t>& out) {
    std::uint8_t none = 0;
    std::uint8_t* input = length > 0 ? scratch.data() + offset : &none;
    std::size_t extra = 0;
    const SECURITY_STATUS status = Initialize(input, length, extra, out);
    taken = length - extra;
    return status == SEC_E_OK;
}

bool CTlsEngine::Seal(const std::uint8_t* plain, std::size_t length,
                      std::vector<std::uint8_t>& out) {
    CState& state = *state_;
    if (state.phase != CState::Phase::kOpen && state.phase != CState::Phase::kClosed) {
        error_ = error_ != 0 ? error_ : kTlsFailure;
        return false;
    }
    const SecPkgContext_StreamSizes& sizes = state.sizes;
    while (length > 0) {
        const std::size_t chunk = std::min<std::size_t>(length, sizes.cbMaximumMessage);
        const std::size_t base = out.size();
        out.resize(base + sizes.cbHeader + chunk + sizes.cbTrailer);
        std::uint8_t* record = out.data() + base;
        std::memcpy(record + sizes.cbHeader, plain, chunk);
        SecBuffer buffers[4] = {
            MakeBuffer(SECBUFFER_STREAM_HEADER, record, sizes.cbHeader),
            MakeBuffer(SECBUFFER_DATA, record + sizes.cbHeader, chunk),
            MakeBuffer(SECBUFFER_STREAM_TRAILER, record + sizes.cbHeader + chunk, sizes.cbTrailer),
            MakeBuffer(SECBUFFER_EMPTY, nullptr, 0)};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        // The record is header, data and trailer back to back: only the trailer may shrink.
        if (EncryptMessage(state.context.Target(), 0, &desc, 0) != SEC_E_OK ||
            buffers[0].cbBuffer != sizes.cbHeader || buffers[1].cbBuffer != chunk ||
            buffers[2].cbBuffer > sizes.cbTrailer) {
            out.resize(base);
            error_ = kTlsFailure;
            return false;
        }
        out.resize(base + sizes.cbHeader + chunk + buffers[2].cbBuffer);
        plain += chunk;
        length -= chunk;
    }
    return true;
}

CTlsEngine::Step CTlsEngine::Open(const std::uint8_t* in, std::size_t inLength,
                                  std::size_t& consumed, std::vector<std::uint8_t>& plain,
                                  std::vector<std::uint8_t>& out) {
    CState& state = *state_;
    consumed = 0;
    if (state.phase == CState::Phase::kClosed) {
        return Step::kClosed;
    }
    if (state.phase != CState::Phase::kOpen) {
        error_ = error_ != 0 ? error_ : kTlsFailure;
        return Step::kFailed;
    }
    const std::size_t offered = state.TakeInput(in, inLength);
    if (offered == 0) {
        return Step::kWantRead;
    }
    // Each round takes at least one byte, or returns.
    while (consumed < offered) {
        const std::size_t before = plain.size();
        const bool alert = state.scratch[consumed] == kAlertRecord;
        std::size_t taken = 0;
        const SECURITY_STATUS status = state.Decrypt(consumed, offered - consumed, taken, plain);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            return Step::kWantRead;
        }
        if (taken == 0) {
            state.phase = CState::Phase::kFailed;
            error_ = kTlsFailure;
            return Step::kFailed;
        }
        consumed += taken;
        if (status == SEC_I_CONTEXT_EXPIRED || (alert && plain.size() == before)) {
            state.phase = CState::Phase::kClosed;
            return Step::kClosed;
        }
        if (status == SEC_I_RENEGOTIATE) {
            if (!state.TakePostHandshake(consumed, offered - consumed, taken, out)) {
                state.phase = CState::Phase::kFailed;
                error_ = kTlsFailure;
                return Step::kFailed;
            }
            consumed += taken;
        }
    }
    return Step::kDone;
}
