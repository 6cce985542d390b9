// CSspiScheme: AcquireCredentialsHandleW, InitializeSecurityContextW leg by leg, and
// CompleteAuthToken where the package asks for it. A logon that failed once keeps no handles:
// its next leg is refused until a new BeginProxyLogon.
#define SECURITY_WIN32
#include <windows.h>

#include <security.h>

#include <utility>

#include "http/sspi_scheme.h"
#include "platform/wide_call_text.h"

struct CSspiScheme::CLogon {
    CredHandle credentials{};
    bool haveCredentials = false;
    CtxtHandle context{};
    bool haveContext = false;
    ULONG maxToken = 0;
    WideString target;

    CLogon() = default;
    ~CLogon() {
        if (haveContext) {
            DeleteSecurityContext(&context);
        }
        if (haveCredentials) {
            FreeCredentialsHandle(&credentials);
        }
    }
    CLogon(const CLogon&) = delete;
    CLogon& operator=(const CLogon&) = delete;
};

namespace {

unsigned short* IdentityText(WideString& text) {
    return reinterpret_cast<unsigned short*>(&text[0]);
}

ULONG MaxToken(const WideString& package) {
    PSecPkgInfoW info = nullptr;
    if (QuerySecurityPackageInfoW(const_cast<wchar_t*>(ToWideCall(package.c_str())), &info) !=
            SEC_E_OK ||
        info == nullptr) {
        return 0;
    }
    const ULONG size = info->cbMaxToken;
    FreeContextBuffer(info);
    return size;
}

}  // namespace

CSspiScheme::CSspiScheme(WideString package, std::optional<CSspiIdentity> identity)
    : package_(std::move(package)), identity_(std::move(identity)) {}

CSspiScheme::~CSspiScheme() = default;

bool CSspiScheme::BeginProxyLogon(const CProxyServer& proxy) {
    logon_.reset();
    auto logon = std::make_unique<CLogon>();
    logon->maxToken = MaxToken(package_);
    if (logon->maxToken == 0) {
        return false;
    }
    SEC_WINNT_AUTH_IDENTITY_W explicitIdentity{};
    CSspiIdentity copy;
    if (identity_) {
        copy = *identity_;
        explicitIdentity.User = IdentityText(copy.user);
        explicitIdentity.UserLength = static_cast<ULONG>(copy.user.size());
        explicitIdentity.Domain = IdentityText(copy.domain);
        explicitIdentity.DomainLength = static_cast<ULONG>(copy.domain.size());
        explicitIdentity.Password = IdentityText(copy.password);
        explicitIdentity.PasswordLength = static_cast<ULONG>(copy.password.size());
        explicitIdentity.Flags = SEC_WINNT_AUTH_IDENTITY_UNICODE;
    }
    TimeStamp expiry{};
    const SECURITY_STATUS status = AcquireCredentialsHandleW(
        nullptr, const_cast<wchar_t*>(ToWideCall(package_.c_str())), SECPKG_CRED_OUTBOUND,
        nullptr, identity_ ? &explicitIdentity : nullptr, nullptr, nullptr, &logon->credentials,
        &expiry);
    if (status != SEC_E_OK) {
        return false;
    }
    logon->haveCredentials = true;
    logon->target = u"HTTP/" + proxy.host;
    logon_ = std::move(logon);
    return true;
}

bool CSspiScheme::NextProxyToken(const std::vector<std::uint8_t>& proxyToken,
                                 std::vector<std::uint8_t>& token, bool& complete) {
    if (!logon_ || proxyToken.size() > kMaxProxyToken) {
        logon_.reset();
        return false;
    }
    std::vector<std::uint8_t> input(proxyToken);
    SecBuffer inBuffer{static_cast<ULONG>(input.size()), SECBUFFER_TOKEN, input.data()};
    SecBufferDesc inDesc{SECBUFFER_VERSION, 1, &inBuffer};
    std::vector<std::uint8_t> output(logon_->maxToken);
    SecBuffer outBuffer{logon_->maxToken, SECBUFFER_TOKEN, output.data()};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &outBuffer};
    ULONG attributes = 0;
    TimeStamp expiry{};
    SECURITY_STATUS status = InitializeSecurityContextW(
        &logon_->credentials, logon_->haveContext ? &logon_->context : nullptr,
        const_cast<wchar_t*>(ToWideCall(logon_->target.c_str())), ISC_REQ_CONNECTION, 0,
        SECURITY_NATIVE_DREP, input.empty() ? nullptr : &inDesc, 0, &logon_->context, &outDesc,
        &attributes, &expiry);
    if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED || status == SEC_I_COMPLETE_NEEDED ||
        status == SEC_I_COMPLETE_AND_CONTINUE) {
        logon_->haveContext = true;
    }
    if (status == SEC_I_COMPLETE_NEEDED || status == SEC_I_COMPLETE_AND_CONTINUE) {
        const bool more = status == SEC_I_COMPLETE_AND_CONTINUE;
        status = CompleteAuthToken(&logon_->context, &outDesc) != SEC_E_OK ? SEC_E_INTERNAL_ERROR
                 : more                                                   ? SEC_I_CONTINUE_NEEDED
                                                                          : SEC_E_OK;
    }
    if ((status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) ||
        outBuffer.cbBuffer > logon_->maxToken) {
        logon_.reset();
        return false;
    }
    token.assign(output.begin(), output.begin() + outBuffer.cbBuffer);
    complete = status == SEC_E_OK;
    return true;
}
