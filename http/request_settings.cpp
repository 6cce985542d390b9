// CRequestSettings setters: each stores what it is given; nothing is copied.
#include "http/request_settings.h"

const char16_t* CRequestSettings::AssignMethod(const char16_t* newMethod) noexcept {
    const char16_t* previous = method;
    method = newMethod;
    return previous;
}

std::uint16_t CRequestSettings::AssignPort(std::uint16_t newPort) noexcept {
    const std::uint16_t previous = port;
    port = newPort;
    return previous;
}

void CRequestSettings::AssignPostData(const std::uint8_t* data, std::uint32_t length,
                                      const char16_t* type) noexcept {
    postData = data;
    postDataLength = length;
    contentType = type;
}
