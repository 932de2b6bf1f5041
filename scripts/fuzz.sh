#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, -fsanitize=fuzzer,address,undefined) and runs each
# one for a short time over its corpus in fuzz/corpus/<target>/. Fails on any crash, leak,
# sanitizer report or broken property; the input that broke it is left in the artifact dir.
#
#   scripts/fuzz.sh                  build, then run every target QV_FUZZ_SECONDS (25) each
#   scripts/fuzz.sh --update-corpus  the same, then merge what the runs found into the
#                                    corpus dirs, keeping only inputs that add coverage
#   scripts/fuzz.sh TARGET...        only these targets (e.g. fuzz_instrumenter)
#
# Environment: QV_FUZZ_BUILD_DIR (default build-fuzz), QV_FUZZ_SECONDS, QV_FUZZ_JOBS.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${QV_FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${QV_FUZZ_SECONDS:-25}
update=0
targets=()
for arg in "$@"; do
  case $arg in
    --update-corpus) update=1 ;;
    -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
    *) targets+=("$arg") ;;
  esac
done
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_instrumenter fuzz_depth_scanner fuzz_balance fuzz_dcl_reader fuzz_lisp_reader)
fi

# Longest input each target is given: a few pages of text.
max_len() {
  case $1 in
    fuzz_lisp_reader) echo 2048 ;;
    *) echo 4096 ;;
  esac
}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQV_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}" -j "${QV_FUZZ_JOBS:-2}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

status=0
for target in "${targets[@]}"; do
  corpus="$root/fuzz/corpus/$target"
  found="$work/$target"
  mkdir -p "$corpus" "$found"
  echo "== $target: ${seconds}s"
  # New inputs go to $found; the repository's corpus is only read.
  if ! "$build/fuzz/$target" "$found" "$corpus" -max_total_time="$seconds" \
      -max_len="$(max_len "$target")" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$artifacts/$target-" >"$work/$target.log" 2>&1; then
    tail -n 60 "$work/$target.log"
    echo "!! $target failed; reproducer in $artifacts/" >&2
    status=1
    continue
  fi
  grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$work/$target.log" || true
  if [ $update -eq 1 ]; then
    merged="$work/$target.merged"
    mkdir -p "$merged"
    "$build/fuzz/$target" -merge=1 -max_len="$(max_len "$target")" "$merged" "$corpus" "$found" \
      >"$work/$target.merge.log" 2>&1
    rm -f "$corpus"/*
    cp "$merged"/* "$corpus"/
    echo "   corpus: $(ls "$corpus" | wc -l) files"
  fi
done
exit $status
