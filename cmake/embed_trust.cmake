# Writes the source that defines BuiltInTlsRoots (net/tls_built_in_trust.h) for one program:
#   cmake -DPEM=<pem file or empty> -DOUTPUT=<source> -P embed_trust.cmake
# A file's bytes, all of them, become an array that the program pins with its length, so no
# byte of the file can end the text early; no file gives the system store.
cmake_minimum_required(VERSION 3.18)

set(origin "for a program without a trust file")
if(NOT PEM STREQUAL "")
  set(origin "from ${PEM}")
  file(READ "${PEM}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  set(definition "#include <string>

namespace {

constexpr unsigned char kRoots[] = {${bytes}};

}  // namespace

CTlsTrust BuiltInTlsRoots() {
    return CTlsTrust::Pinned(std::string(reinterpret_cast<const char*>(kRoots), sizeof(kRoots)));
}")
else()
  set(definition "CTlsTrust BuiltInTlsRoots() {
    return CTlsTrust::SystemStore();
}")
endif()
file(WRITE "${OUTPUT}" "// Written by cmake/embed_trust.cmake ${origin}; do not edit.
#include \"net/tls_built_in_trust.h\"

${definition}
")
