# The check a PEM file passes before a program pins its certificates (cmake/embed_trust.cmake
# at build time, and the configure of LOGSENDER_CA_FILE): the file must be PEM text whose every
# block is a CERTIFICATE that parses, with at least one block. Anything else stops the build,
# since a program that pins an unusable file either fails every https upload or, read as
# empty, trusts the whole system store.
#
# Why stricter than either TLS engine: the two read PEM text differently and skip different
# things. OpenSSL (net/tls/tls_engine_posix.cpp) takes blocks whose BEGIN line starts a line, also
# takes "X509 CERTIFICATE" blocks and skips blocks of other kinds; CryptoAPI
# (net/tls/tls_engine_win32.cpp) finds "-----BEGIN CERTIFICATE-----" anywhere, after a byte-order
# mark or indentation too, and skips everything else. Both refuse the whole text when one
# certificate block does not decode. A file passing this check is read alike by both, so the
# same file pins the same roots on either platform.

# logsender_trust_file_problem(<out var> <pem file> <openssl> <scratch file>): <out var>
# receives the reason the file cannot be pinned, or "" when it can. The scratch file is written
# (and removed) only to tell which block openssl refused.
function(logsender_trust_file_problem out pem openssl scratch)
  if(NOT EXISTS "${pem}" OR IS_DIRECTORY "${pem}")
    set(${out} "there is no such file" PARENT_SCOPE)
    return()
  endif()
  file(READ "${pem}" hex HEX)
  if(hex STREQUAL "")
    set(${out} "it is empty" PARENT_SCOPE)
    return()
  endif()
  # PEM is 8-bit text: a zero byte means UTF-16, DER or some other binary content.
  string(REGEX REPLACE "(..)" " \\1" spaced "${hex}")
  string(FIND "${spaced}" " 00" zero)
  if(NOT zero EQUAL -1)
    math(EXPR offset "${zero} / 3")
    if(hex MATCHES "^30")
      set(${out} "byte ${offset} is 0: it is binary, most likely a DER certificate (openssl x509 -inform DER -in <file> -out <file>.pem writes it as PEM)" PARENT_SCOPE)
    else()
      set(${out} "byte ${offset} is 0, which PEM text never holds (UTF-16 text or a binary file?)" PARENT_SCOPE)
    endif()
    return()
  endif()

  # Read as text, CMake drops the carriage returns of CRLF line ends.
  file(READ "${pem}" text)
  # List separators and brackets would split or join the lines below; no PEM marker and no
  # base64 holds them, so they become a character that keeps a line what it was. The last
  # line end closes a line rather than starting one.
  string(REGEX REPLACE "[][;]" "_" text "${text}")
  string(REGEX REPLACE "\n$" "" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(number 0)
  set(open 0)          # the line of the BEGIN of the block being read, 0 outside blocks
  set(starts "")       # the BEGIN line of each block
  set(blocks "")       # each block's text
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    string(FIND "${line}" "-----BEGIN" begin)
    string(FIND "${line}" "-----END" end)
    if(open)
      if(line STREQUAL "-----END CERTIFICATE-----")
        list(APPEND starts ${open})
        list(APPEND blocks "${line_open}\n${block}${line}\n")
        set(open 0)
      elseif(line MATCHES "^[A-Za-z0-9+/]+=?=?$")
        string(APPEND block "${line}\n")
      else()
        set(${out} "line ${number}, inside the certificate block of line ${open}, is not base64" PARENT_SCOPE)
        return()
      endif()
    elseif(begin EQUAL 0)
      if(NOT line MATCHES "^-----BEGIN ([^-]+)-----$")
        set(${out} "line ${number} is no well-formed BEGIN line" PARENT_SCOPE)
        return()
      elseif(NOT CMAKE_MATCH_1 STREQUAL "CERTIFICATE")
        set(kind "${CMAKE_MATCH_1}")
        if(kind MATCHES "PRIVATE KEY")
          string(APPEND kind " (a key has no place in a program)")
        endif()
        set(${out} "line ${number} begins a block labelled ${kind}; only CERTIFICATE blocks are pinned" PARENT_SCOPE)
        return()
      endif()
      set(open ${number})
      set(line_open "${line}")
      set(block "")
    elseif(end EQUAL 0)
      set(${out} "line ${number} ends a block that never began" PARENT_SCOPE)
      return()
    elseif(NOT begin EQUAL -1 OR NOT end EQUAL -1)
      set(${out} "line ${number} holds a PEM marker that does not start the line (a byte-order mark or indentation?)" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  if(open)
    set(${out} "the certificate block of line ${open} has no END line (is the file cut short?)" PARENT_SCOPE)
    return()
  endif()
  list(LENGTH starts count)
  if(count EQUAL 0)
    set(${out} "it holds no PEM certificate block" PARENT_SCOPE)
    return()
  endif()

  # One openssl run reads every certificate of the file; only when it does not read them all
  # is each block tried alone, to name the one it refuses.
  execute_process(COMMAND "${openssl}" crl2pkcs7 -nocrl -certfile "${pem}"
                  COMMAND "${openssl}" pkcs7 -print_certs -noout
                  RESULTS_VARIABLE results OUTPUT_VARIABLE printed ERROR_QUIET)
  string(REGEX MATCHALL "(^|\n)subject=" subjects "${printed}")
  list(LENGTH subjects parsed)
  if(results STREQUAL "0;0" AND parsed EQUAL count)
    set(${out} "" PARENT_SCOPE)
    return()
  endif()
  set(reason "openssl read ${parsed} of its ${count} certificate blocks")
  math(EXPR last "${count} - 1")
  foreach(index RANGE ${last})
    list(GET blocks ${index} block)
    file(WRITE "${scratch}" "${block}")
    execute_process(COMMAND "${openssl}" x509 -inform PEM -noout -in "${scratch}"
                    RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
    if(NOT result EQUAL 0)
      list(GET starts ${index} start)
      set(reason "the certificate block of line ${start} does not parse as a certificate")
      break()
    endif()
  endforeach()
  file(REMOVE "${scratch}")
  set(${out} "${reason}" PARENT_SCOPE)
endfunction()

# logsender_check_trust_file(<pem file> <openssl> <scratch file>): stops with an error naming
# the file and the reason when the file cannot be pinned.
function(logsender_check_trust_file pem openssl scratch)
  logsender_trust_file_problem(problem "${pem}" "${openssl}" "${scratch}")
  if(NOT problem STREQUAL "")
    message(FATAL_ERROR "The trust file ${pem} cannot be pinned: ${problem}. A program pins "
                        "only PEM text whose every block is a CERTIFICATE that parses, with at "
                        "least one; a build without a trust file trusts the system store.")
  endif()
endfunction()
