# Writes the source that defines BuiltInTlsRoots (net/tls_built_in_trust.h) for one program:
#   cmake -DPEM=<pem file or empty> -DOUTPUT=<source> -P embed_trust.cmake
# The PEM file's bytes become a zero-terminated array; no file gives the empty text (the
# system store).
set(bytes "")
if(PEM)
  file(READ "${PEM}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
endif()
file(WRITE "${OUTPUT}" "// Written by cmake/embed_trust.cmake from ${PEM}; do not edit.
#include \"net/tls_built_in_trust.h\"

namespace {

constexpr unsigned char kRoots[] = {
    ${bytes}0};

}  // namespace

const char* BuiltInTlsRoots() noexcept {
    return reinterpret_cast<const char*>(kRoots);
}
")
