# Shared build settings, the helper that turns a subsystem folder into a library, and the
# helpers that give each program the roots it trusts, checking every trust file it pins.

set(LOGSENDER_WARNINGS -Wall -Wextra)
if(LOGSENDER_WARNINGS_AS_ERRORS)
  list(APPEND LOGSENDER_WARNINGS -Werror)
endif()

if(LOGSENDER_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  # Tests that measure the resident set look for this: clang does not define
  # __SANITIZE_ADDRESS__ as g++ does.
  add_compile_definitions(LOGSENDER_SANITIZED=1)
  add_link_options(-fsanitize=address,undefined)
endif()

# Sources of the folder that belong to this platform: *_win32.cpp only on Windows,
# *_posix.cpp everywhere else.
function(logsender_platform_sources out dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  set(${out} ${sources} PARENT_SCOPE)
endfunction()

# logsender_library(<name> [DEPS <libs>...] [EXCLUDE <file names>...] [PARTS <folders>...]):
# a static library from every source of the calling folder (or, with PARTS, of those folders
# below it) but the excluded ones, with the project root on the include path.
function(logsender_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;EXCLUDE;PARTS" ${ARGN})
  if(ARG_PARTS)
    set(sources)
    foreach(part ${ARG_PARTS})
      logsender_platform_sources(part_sources ${CMAKE_CURRENT_SOURCE_DIR}/${part})
      list(APPEND sources ${part_sources})
    endforeach()
  else()
    logsender_platform_sources(sources ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  foreach(excluded ${ARG_EXCLUDE})
    list(FILTER sources EXCLUDE REGEX "/${excluded}$")
  endforeach()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${LOGSENDER_WARNINGS})
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/trust_file_check.cmake)

# logsender_require_openssl(<what needs it>): finds LOGSENDER_OPENSSL, the openssl command
# that checks every trust file a program pins. It runs on the host that builds, so the POSIX
# and the Windows programs pass the same check.
function(logsender_require_openssl need)
  find_program(LOGSENDER_OPENSSL openssl DOC "openssl command that checks pinned trust files")
  if(NOT LOGSENDER_OPENSSL)
    message(FATAL_ERROR "${need} needs the openssl command, which this host lacks (Debian: "
                        "apt-get install openssl).")
  endif()
endfunction()

# A product's trust file is checked as soon as it is named, so a configure stops before
# anything is built; every program that pins it checks it again when it is built.
if(NOT LOGSENDER_CA_FILE STREQUAL "")
  logsender_require_openssl("Checking the trust file ${LOGSENDER_CA_FILE}")
  logsender_check_trust_file("${LOGSENDER_CA_FILE}" "${LOGSENDER_OPENSSL}"
                             "${CMAKE_BINARY_DIR}/CMakeFiles/logsender_ca_file_block.pem")
endif()

# logsender_built_in_trust(<target> [<pem file>]): gives the program target its definition of
# BuiltInTlsRoots (net/tls/tls_built_in_trust.h), the roots its TLS connections trust by default:
# the certificates of the PEM file, else of LOGSENDER_CA_FILE, else the system store. The file
# is read and checked (cmake/trust_file_check.cmake) when the target is built, so a file made
# by an earlier build step can be named; a file that cannot be pinned stops the build.
function(logsender_built_in_trust target)
  set(pem "${LOGSENDER_CA_FILE}")
  if(ARGC GREATER 1)
    set(pem "${ARGV1}")
  endif()
  if(NOT pem STREQUAL "")
    logsender_require_openssl("Checking the trust file ${pem}")
  endif()
  set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}_built_in_trust.cpp)
  add_custom_command(OUTPUT ${source}
                     COMMAND ${CMAKE_COMMAND} -DPEM=${pem} -DOPENSSL=${LOGSENDER_OPENSSL}
                             -DOUTPUT=${source} -P ${PROJECT_SOURCE_DIR}/cmake/embed_trust.cmake
                     DEPENDS ${PROJECT_SOURCE_DIR}/cmake/embed_trust.cmake
                             ${PROJECT_SOURCE_DIR}/cmake/trust_file_check.cmake ${pem} VERBATIM)
  target_sources(${target} PRIVATE ${source})
endfunction()

# logsender_tool_program(<name> <main library> <sources>...): a test or fuzz program linking the
# test helpers (and through them every project library), the given main library and threads,
# and knowing the source and build folders (LOGSENDER_SOURCE_DIR, LOGSENDER_BINARY_DIR) for the
# files and programs it needs, and the trust file it was built with (LOGSENDER_CA_FILE, empty
# for the system store).
function(logsender_tool_program name main_library)
  add_executable(${name} ${ARGN})
  target_compile_options(${name} PRIVATE ${LOGSENDER_WARNINGS})
  target_link_libraries(${name} PRIVATE logsender_test_support ${main_library} Threads::Threads)
  logsender_built_in_trust(${name})
  target_compile_definitions(${name} PRIVATE
      LOGSENDER_SOURCE_DIR="${PROJECT_SOURCE_DIR}" LOGSENDER_BINARY_DIR="${PROJECT_BINARY_DIR}"
      LOGSENDER_CA_FILE="${LOGSENDER_CA_FILE}")
endfunction()
