#!/bin/sh
# The Windows part of CI: cross-compiles the product and the stand-in with MinGW-w64, checks
# the binaries' tables, and runs the console sessions under Wine against the native build.
#
#   wine-ci.sh [NATIVE_BUILD_DIR [CROSS_BUILD_DIR]]
#
# Defaults: build and build-win in the source tree. The native build must already be built
# (it provides the Linux runs the Windows runs are compared with). Needs the packages
# g++-mingw-w64-x86-64-posix, binutils-mingw-w64-x86-64 and wine64. Exit status 0 when
# everything passed.
set -eu

source_dir=$(cd "$(dirname "$0")/.." && pwd)
native_dir=${1:-$source_dir/build}
cross_dir=${2:-$source_dir/build-win}

cmake -S "$source_dir" -B "$cross_dir" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DQV_WERROR=ON
cmake --build "$cross_dir"

"$source_dir/scripts/check-dll.sh" "$cross_dir/qv.dll"
"$source_dir/scripts/check-dll.sh" --imports-only "$cross_dir"/run/*.exe "$cross_dir"/run/*.dll
"$source_dir/win/check-defs.sh" "$source_dir"
"$source_dir/win/check-dll-test.sh" "$source_dir"
"$source_dir/scripts/wine-e2e.sh" --source "$source_dir" --linux "$native_dir" \
  --windows "$cross_dir"
echo "wine-ci.sh: Windows build and sessions passed"
