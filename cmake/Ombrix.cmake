# Shared build settings and the helper that turns a subsystem folder into a library.

set(OMBRIX_WARNINGS -Wall -Wextra)
if(LOGSENDER_WARNINGS_AS_ERRORS)
  list(APPEND OMBRIX_WARNINGS -Werror)
endif()

if(LOGSENDER_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Sources of the folder that belong to this platform: *_win32.cpp only on Windows,
# *_posix.cpp everywhere else.
function(ombrix_platform_sources out dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  set(${out} ${sources} PARENT_SCOPE)
endfunction()

# ombrix_library(<name> [DEPS <libs>...]): a static library from every source of the
# calling folder, with the project root on the include path.
function(ombrix_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  ombrix_platform_sources(sources ${CMAKE_CURRENT_SOURCE_DIR})
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${OMBRIX_WARNINGS})
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
endfunction()
