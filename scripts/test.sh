#!/bin/sh
# Builds everything with warnings as errors and runs the whole test suite.
#
#   test.sh [BUILD_DIR]      default: build
set -eu
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$source_dir/build}

"$source_dir/scripts/install-deps.sh"
cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_WERROR=ON
cmake --build "$build_dir"
ctest --test-dir "$build_dir" --output-on-failure -j2
