// WholeTlsRecordLength: where the next TLS record in a stream of received bytes ends. The TLS
// engine hands its library one whole record at a time, so that the bytes it reports as consumed
// are exactly the records taken in, and a record cut by the transport stays with the caller
// until the rest of it has arrived.
#pragma once

#include <cstddef>
#include <cstdint>

// A record: content type, protocol version (2 bytes), body length (2 bytes), then the body.
constexpr std::size_t kTlsRecordHeaderLength = 5;
// The largest body any TLS version allows (2^14 plus TLS 1.2's expansion allowance).
constexpr std::size_t kTlsMaxRecordBodyLength = 16384 + 2048;
// The result for a header that cannot start a record.
constexpr std::size_t kTlsRecordInvalid = static_cast<std::size_t>(-1);

// Header plus body length of the record at the front of bytes; 0 while its header or body is
// still incomplete; kTlsRecordInvalid when its content type is none of change_cipher_spec,
// alert, handshake and application_data, or its length exceeds the largest record, since
// waiting for more bytes would then never make a record.
std::size_t WholeTlsRecordLength(const std::uint8_t* bytes, std::size_t length) noexcept;
