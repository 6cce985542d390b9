# The trust-file check as the build runs it (cmake/embed_trust.cmake, the step that writes a
# program's BuiltInTlsRoots): which files a program may pin and which stop the build, with the
# message that names the file and the reason. The certificates are made with openssl for the
# run, in a folder of their own that is removed once every row has passed.
#   cmake -DLOGSENDER_SOURCE_DIR=<source> -DOPENSSL=<openssl> -DWORK=<scratch folder>
#         -P trust_file_test.cmake
# A file that passes must come out as a pinned trust holding every byte of the file, in order.
cmake_minimum_required(VERSION 3.18)

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

# run([OUTPUT_FILE <file>] <command>...): runs the command in the scratch folder; any failure
# ends the test.
function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE result
                  ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGN}: ${result}\n${errors}")
  endif()
endfunction()

function(put name content)
  file(WRITE "${WORK}/${name}" "${content}")
endfunction()

# Three self-signed authorities, with their keys.
foreach(name a b c)
  run("${OPENSSL}" req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes
      -keyout ${name}.key -subj "/CN=Trust file test ${name}" -days 2 -out ${name}.pem)
  file(READ "${WORK}/${name}.pem" ${name})
  file(READ "${WORK}/${name}.key" ${name}_key)
endforeach()
# The line where a second block starts, behind a.
string(REGEX MATCHALL "\n" a_lines "${a}")
list(LENGTH a_lines second)
math(EXPR second "${second} + 1")
math(EXPR second_body "${second} + 1")

run("${OPENSSL}" x509 -in a.pem -outform DER -out a.der)
run(iconv -f UTF-8 -t UTF-16LE a.pem -o a-utf16le.pem)
run(iconv -f UTF-8 -t UTF-16 a.pem -o a-utf16-bom.pem)
run(printf "\\0" OUTPUT_FILE zero)
run(cat zero a.pem OUTPUT_FILE zero-first.pem)

put(good.pem "${a}")
put(bundle.pem "${a}${b}${c}")
put(bundle-with-text.pem
    "subject=CN = Trust file test a\n${a}\n# Zürich [root; made for the test\n${b}trailing words\n")
string(REPLACE "\n" "\r\n" crlf "${a}")
put(crlf.pem "${crlf}")
put(empty.pem "")
string(ASCII 239 187 191 utf8_bom)
put(utf8-bom.pem "${utf8_bom}${a}")
put(key.pem "${a_key}")
put(certificate-and-key.pem "${a}${a_key}")
string(REGEX REPLACE "^(-----BEGIN CERTIFICATE-----\n[^\n]*\n[^\n]*\n)[^\n]*\n" "\\1"
       b_short "${b}")
put(short-line-in-the-middle.pem "${a}${b_short}${c}")
string(REGEX REPLACE "^(-----BEGIN CERTIFICATE-----\n....)." "\\1*" b_star "${b}")
put(star-in-the-middle.pem "${a}${b_star}${c}")
string(REGEX REPLACE "-----END CERTIFICATE-----\n$" "" b_cut "${b}")
put(cut-short.pem "${a}${b_cut}")
string(REPLACE " CERTIFICATE-----" " X509 CERTIFICATE-----" x509 "${a}")
put(x509-label.pem "${x509}")
put(indented.pem "  ${a}")
string(REPLACE "PRIVATE KEY" "CERTIFICATE" relabelled "${a_key}")
put(key-labelled-certificate.pem "${relabelled}")
put(text-only.pem "not a certificate\n")
put(empty-block.pem "-----BEGIN CERTIFICATE-----\n-----END CERTIFICATE-----\n")
string(REPLACE "-----BEGIN CERTIFICATE-----" "-----BEGIN CERTIFICATE" begin_cut "${a}")
put(begin-cut-short.pem "${begin_cut}")
string(REPLACE "-----BEGIN CERTIFICATE-----\n" "" b_headless "${b}")
put(middle-block-without-begin.pem "${a}${b_headless}${c}")

set(failures "")

# row(<name> <file, or "" for none> <expected>): runs the embedding step on the file. expected
# is PASS (a pinned trust of the file's bytes), SYSTEM (the system store) or the reason the
# build's error must give after naming the file.
function(row name file expected)
  set(pem "")
  if(NOT file STREQUAL "")
    set(pem "${WORK}/${file}")
  endif()
  set(source "${WORK}/built_in_trust.cpp")
  file(WRITE "${source}" "left from an earlier build")
  execute_process(COMMAND "${CMAKE_COMMAND}" "-DPEM=${pem}" "-DOPENSSL=${OPENSSL}"
                          "-DOUTPUT=${source}"
                          -P "${LOGSENDER_SOURCE_DIR}/cmake/embed_trust.cmake"
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  string(REGEX REPLACE "[ \n]+" " " said "${output}${errors}")
  set(fault "")
  if(expected STREQUAL "PASS" OR expected STREQUAL "SYSTEM")
    if(NOT result EQUAL 0)
      set(fault "refused: ${said}")
    else()
      file(READ "${source}" written)
      string(REGEX MATCHALL "0x[0-9a-f][0-9a-f]" embedded "${written}")
      string(REPLACE "0x" "" embedded "${embedded}")
      string(REPLACE ";" "" embedded "${embedded}")
      set(bytes "")
      if(expected STREQUAL "PASS")
        file(READ "${pem}" bytes HEX)
        if(NOT written MATCHES "CTlsTrust::Pinned")
          set(fault "not pinned")
        endif()
      elseif(NOT written MATCHES "CTlsTrust::SystemStore\\(\\)")
        set(fault "not the system store")
      endif()
      if(NOT embedded STREQUAL bytes)
        string(LENGTH "${embedded}" got)
        string(LENGTH "${bytes}" want)
        math(EXPR got "${got} / 2")
        math(EXPR want "${want} / 2")
        set(fault "${fault} ${got} bytes embedded, not the file's ${want}")
      endif()
    endif()
  else()
    string(FIND "${said}" "The trust file ${pem} cannot be pinned: " named)
    string(FIND "${said}" "${expected}" found)
    if(result EQUAL 0)
      set(fault "accepted")
    elseif(named EQUAL -1 OR found LESS named)
      set(fault "said: ${said}")
    elseif(EXISTS "${source}")
      set(fault "a source was left behind")
    endif()
  endif()
  if(fault STREQUAL "")
    string(REGEX REPLACE ".*cannot be pinned: (.*)\\. A program pins.*" ": \\1" reason "${said}")
    if(reason STREQUAL said)
      set(reason "")
    endif()
    message(STATUS "ok     ${name}${reason}")
  else()
    message(STATUS "FAILED ${name}: ${fault}")
    set(failures "${failures}${name}; " PARENT_SCOPE)
  endif()
endfunction()

row("one certificate" good.pem PASS)
row("a bundle of three" bundle.pem PASS)
row("a bundle with text between blocks, an unclosed bracket and a semicolon among it" bundle-with-text.pem PASS)
row("CRLF line ends" crlf.pem PASS)
row("no trust file" "" SYSTEM)
row("an empty file" empty.pem "it is empty.")
row("a zero byte first, then a certificate" zero-first.pem
    "byte 0 is 0, which PEM text never holds")
row("DER" a.der "is 0: it is binary, most likely a DER certificate")
row("UTF-16 without a byte-order mark" a-utf16le.pem "byte 1 is 0")
row("UTF-16 with a byte-order mark" a-utf16-bom.pem "byte 3 is 0")
row("UTF-8 with a byte-order mark" utf8-bom.pem
    "line 1 holds a PEM marker that does not start the line")
row("a key only" key.pem "line 1 begins a block labelled PRIVATE KEY")
row("a certificate and its key" certificate-and-key.pem "begins a block labelled PRIVATE KEY")
row("a base64 line missing from the middle block of three" short-line-in-the-middle.pem
    "the certificate block of line ${second} does not parse as a certificate")
row("a character that is no base64 in the middle block of three" star-in-the-middle.pem
    "line ${second_body}, inside the certificate block of line ${second}, is not base64")
row("the last block cut short" cut-short.pem
    "the certificate block of line ${second} has no END line")
row("X509 CERTIFICATE labels" x509-label.pem
    "line 1 begins a block labelled X509 CERTIFICATE")
row("an indented certificate" indented.pem
    "line 1 holds a PEM marker that does not start the line")
row("a key labelled CERTIFICATE" key-labelled-certificate.pem
    "the certificate block of line 1 does not parse as a certificate")
row("text without a block" text-only.pem "it holds no PEM certificate block")
row("an empty certificate block" empty-block.pem
    "the certificate block of line 1 does not parse as a certificate")
row("a BEGIN line cut short" begin-cut-short.pem "line 1 is no well-formed BEGIN line")
row("a bundle whose middle block lost its BEGIN line" middle-block-without-begin.pem
    "ends a block that never began")
row("a file that is not there" missing.pem "there is no such file")

if(NOT failures STREQUAL "")
  message(FATAL_ERROR "rows that failed: ${failures}")
endif()
file(REMOVE_RECURSE "${WORK}")
