// Base64 (the standard alphabet, with "=" padding) for the tokens of the authentication
// headers: the client encodes what a scheme hands it and decodes what a proxy sends back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/wide_text.h"

std::string Base64Encode(const std::vector<std::uint8_t>& bytes);
// False, leaving bytes empty, unless text is whole base64: alphabet characters in groups of
// four, "=" only as the last one or two of the last group.
bool Base64Decode(WideView text, std::vector<std::uint8_t>& bytes);
