# Cross-build for 64-bit Windows with mingw-w64 (Debian: g++-mingw-w64-x86-64-posix).
#     cmake -S . -B /tmp/wbuild -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# ctest then runs the test executables through Wine.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZORVI_MINGW_PREFIX x86_64-w64-mingw32)
# The -posix variants: the win32-threads ones lack std::mutex, which
# GoogleTest needs.
set(CMAKE_C_COMPILER ${ZORVI_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZORVI_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZORVI_MINGW_PREFIX}-windres)

# Without the runtime linked in, a missing DLL under Wine shows only as exit
# code 53.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env;WINEDEBUG=-all;/usr/bin/wine)

# Libraries and headers from the target's sysroot only; programs from the
# build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ZORVI_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
