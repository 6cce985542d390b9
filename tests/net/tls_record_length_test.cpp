// WholeTlsRecordLength: where a record ends in received bytes, and which headers cannot start
// one.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "net/tls/tls_record_length.h"

namespace {

// A record header of the given type and body length, followed by filled body bytes.
std::string Record(std::uint8_t type, std::size_t bodyLength, std::size_t bodyBytesGiven) {
    std::string bytes{static_cast<char>(type), 3, 3, static_cast<char>(bodyLength >> 8),
                      static_cast<char>(bodyLength & 0xFF)};
    return bytes + std::string(bodyBytesGiven, 'x');
}

TEST(TlsRecordLength, WholeIncompleteAndInvalidRecords) {
    const struct {
        const char* name;
        std::string bytes;
        std::size_t expected;
    } cases[] = {
        {"nothing", "", 0},
        {"the type byte only", std::string(1, 22), 0},
        {"four header bytes", Record(22, 10, 0).substr(0, 4), 0},
        {"header, body short by one", Record(23, 10, 9), 0},
        {"whole record", Record(23, 10, 10), 15},
        {"whole record and the next one's start", Record(23, 10, 12), 15},
        {"empty body", Record(21, 0, 0), 5},
        {"change_cipher_spec", Record(20, 1, 1), 6},
        {"largest body allowed, incomplete", Record(23, 18432, 100), 0},
        {"largest body allowed, whole", Record(23, 18432, 18432), 18437},
        {"body one beyond the largest", Record(23, 18433, 0), kTlsRecordInvalid},
        {"type below change_cipher_spec", Record(19, 1, 1), kTlsRecordInvalid},
        {"heartbeat type", Record(24, 1, 1), kTlsRecordInvalid},
        {"a plain http answer", "HTTP/1.1 400 Bad Request\r\n", kTlsRecordInvalid},
        {"a bad type decides before the header is whole", "H", kTlsRecordInvalid},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WholeTlsRecordLength(reinterpret_cast<const std::uint8_t*>(c.bytes.data()),
                                       c.bytes.size()),
                  c.expected)
            << c.name;
    }
}

}  // namespace
