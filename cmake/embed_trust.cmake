# Writes the source that defines BuiltInTlsRoots (net/tls/tls_built_in_trust.h) for one program:
#   cmake -DPEM=<pem file or empty> -DOPENSSL=<openssl> -DOUTPUT=<source> -P embed_trust.cmake
# A file is checked first (cmake/trust_file_check.cmake): one that cannot be pinned stops the
# build, naming the file and the reason, and no source is left behind. The bytes of a file
# that passes, all of them, become an array that the program pins with its length, so no byte
# of the file can end the text early; no file gives the system store.
cmake_minimum_required(VERSION 3.18)
include(${CMAKE_CURRENT_LIST_DIR}/trust_file_check.cmake)

set(origin "for a program without a trust file")
if(NOT PEM STREQUAL "")
  file(REMOVE "${OUTPUT}")
  logsender_check_trust_file("${PEM}" "${OPENSSL}" "${OUTPUT}.block.pem")
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
#include \"net/tls/tls_built_in_trust.h\"

${definition}
")
