# Toolchain for the Windows build on Debian: MinGW-w64 for x86_64 with the posix thread
# model (the win32 model has no std::thread, std::mutex or std::future), every program
# linked -static so that it imports system DLLs only, zlib's static library, and Wine to run
# the test programs (through cmake/wine-emulator.sh). LOGSENDER_MINGW_PREFIX names the folder
# where scripts/build-windows.sh installs minizip and GoogleTest built with this toolchain; it
# joins the find root.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(LOGSENDER_MINGW_PREFIX "" CACHE PATH "Prefix of minizip and GoogleTest built for MinGW-w64")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LOGSENDER_MINGW_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${LOGSENDER_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(ZLIB_USE_STATIC_LIBS ON)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-emulator.sh)
