# Cross-build for 64-bit Windows with mingw-w64 (Debian: g++-mingw-w64-x86-64-posix).
#     cmake -S . -B /tmp/wbuild -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#         [-DQt5_DIR=QT_PREFIX/lib/cmake/Qt5]       (tools/qt-windows.sh builds one)
# ctest then runs the test executables through Wine. Without Qt5_DIR only the
# Qt-free store and guard are built.

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
# Qt's package finds its modules below its own prefix, which must count as
# part of the target's sysroot.
if(Qt5_DIR)
    get_filename_component(ZORVI_QT_PREFIX "${Qt5_DIR}/../../.." ABSOLUTE)
    list(APPEND CMAKE_FIND_ROOT_PATH ${ZORVI_QT_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
