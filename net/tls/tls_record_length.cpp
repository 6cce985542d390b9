// WholeTlsRecordLength: the record framing shared by the TLS engine halves.
#include "net/tls/tls_record_length.h"

namespace {

constexpr std::uint8_t kFirstContentType = 20;  // change_cipher_spec
constexpr std::uint8_t kLastContentType = 23;   // application_data

}  // namespace

std::size_t WholeTlsRecordLength(const std::uint8_t* bytes, std::size_t length) noexcept {
    if (length == 0 || bytes == nullptr) {
        return 0;
    }
    if (bytes[0] < kFirstContentType || bytes[0] > kLastContentType) {
        return kTlsRecordInvalid;
    }
    if (length < kTlsRecordHeaderLength) {
        return 0;
    }
    const std::size_t body = (std::size_t{bytes[3]} << 8) | bytes[4];
    if (body > kTlsMaxRecordBodyLength) {
        return kTlsRecordInvalid;
    }
    const std::size_t whole = kTlsRecordHeaderLength + body;
    return length >= whole ? whole : 0;
}
