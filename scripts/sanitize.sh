#!/usr/bin/env bash
# Builds everything with AddressSanitizer (LeakSanitizer included) and UndefinedBehaviorSanitizer
# in a build dir of its own and runs the whole ctest suite. Fails on a failing test and on
# any sanitizer report, also one from a child process (the console program and the library
# it loads are built with the same flags), even if the test that ran it passed.
#
#   scripts/sanitize.sh [ctest arguments...]
#
# Environment: QV_SANITIZE_BUILD_DIR (default build-sanitize), QV_SANITIZE_JOBS (default 2),
# CXX (the compiler; default the system's c++).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${QV_SANITIZE_BUILD_DIR:-$root/build-sanitize}
jobs=${QV_SANITIZE_JOBS:-2}
flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_WERROR=ON \
  -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_MODULE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$build" -j "$jobs"

# Every report is also written to a file, so that one from a process whose exit status a
# test does not look at still fails the run.
logs="$build/sanitizer-logs"
rm -rf "$logs"
mkdir -p "$logs"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:log_path=$logs/asan"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$logs/ubsan"
export LSAN_OPTIONS="log_path=$logs/lsan"

status=0
(cd "$build" && ctest --output-on-failure -j "$jobs" "$@") || status=1

if compgen -G "$logs/*" >/dev/null; then
  echo "!! sanitizer reports:" >&2
  for report in "$logs"/*; do
    echo "--- $report" >&2
    head -n 60 "$report" >&2
  done
  status=1
fi
exit $status
