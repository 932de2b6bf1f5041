# Cross-compiling toolchain for 64-bit Windows with MinGW-w64 (posix thread model).
#
#   cmake -S . -B build-win -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DBUILD_TESTING=OFF
#
# Every program and library links libgcc, libstdc++ and winpthread statically, so that the
# products depend on Windows system DLLs only.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QV_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QV_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QV_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QV_MINGW_PREFIX}-windres)
set(CMAKE_DLLTOOL ${QV_MINGW_PREFIX}-dlltool)
set(CMAKE_OBJDUMP ${QV_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${QV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config looks at the target's packages only (there are none): the build machine's
# libraries (libedit, ...) are not for Windows.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${QV_MINGW_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# -static makes the driver pick the static libgcc, libstdc++ and libwinpthread.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Programs built here run under Wine when the build needs to run them.
find_program(QV_WINE wine)
if(QV_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QV_WINE})
endif()
