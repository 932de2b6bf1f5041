#!/bin/sh
# Tests scripts/check-dll.sh on small DLLs built here with the MinGW-w64 compiler: each case
# is a DLL with one fault (or none) and the exact report the checker must give.
#
#   check-dll-test.sh [SOURCE_DIR]
#
# Exit status 0 when every case passes, 1 otherwise, 77 when the cross compiler is missing.
set -u

source_dir=$(cd "${1:-$(dirname "$0")/..}" && pwd)
check="$source_dir/scripts/check-dll.sh"
prefix=x86_64-w64-mingw32
cxx=$(command -v $prefix-g++-posix || command -v $prefix-g++) || {
  echo "check-dll-test.sh: skipped: no MinGW-w64 compiler" >&2
  exit 77
}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/qv-check-dll.XXXXXX") || exit 2
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 2

$prefix-dlltool --input-def "$source_dir/win/icad.def" --output-lib libicad.a || exit 2
printf 'LIBRARY "other.dll"\nEXPORTS\n  other_call\n' >other.def
$prefix-dlltool --input-def other.def --output-lib libother.a || exit 2
printf 'LIBRARY "x.dll"\nEXPORTS\n  SDS_EntryPoint\n' >entry.def

cat >entry.cpp <<'EOF'
extern "C" int sds_printf(const char *format, ...);
extern "C" __declspec(dllexport) int SDS_EntryPoint(void) { return sds_printf("x"); }
EOF
cat >extra.cpp <<'EOF'
extern "C" int sds_printf(const char *format, ...);
extern "C" __declspec(dllexport) int SDS_EntryPoint(void) { return sds_printf("x"); }
extern "C" __declspec(dllexport) int helper(void) { return 1; }
EOF
cat >noentry.cpp <<'EOF'
extern "C" __declspec(dllexport) int sds_entrypoint(void) { return 0; }
EOF
cat >other.cpp <<'EOF'
extern "C" int other_call(void);
extern "C" __declspec(dllexport) int SDS_EntryPoint(void) { return other_call(); }
EOF
cat >runtime.cpp <<'EOF'
#include <string>
extern "C" __declspec(dllexport) int SDS_EntryPoint(void) {
  return static_cast<int>(std::to_string(42).size());
}
EOF

build() {
  out=$1
  shift
  "$cxx" -shared -o "$out" "$@" 2>"$out.log" || {
    echo "check-dll-test.sh: cannot build $out:" >&2
    cat "$out.log" >&2
    exit 2
  }
}
build good.dll -static entry.cpp entry.def libicad.a
build extra.dll -static extra.cpp libicad.a
build noentry.dll -static noentry.cpp
build other.dll -static other.cpp libother.a
build runtime.dll -static-libgcc runtime.cpp

failed=0
# expect FILE STATUS REPORT [OPTION]: check-dll.sh [OPTION] FILE exits with STATUS and
# prints REPORT (lines separated by |) on stderr.
expect() {
  if [ -n "${4:-}" ]; then
    "$check" "$4" "$1" 2>"$1.err"
  else
    "$check" "$1" 2>"$1.err"
  fi
  status=$?
  report=$(paste -s -d '|' "$1.err")
  if [ "$status" != "$2" ] || [ "$report" != "$3" ]; then
    echo "FAIL $1 ${4:-}: status $status, report '$report'; expected $2, '$3'"
    failed=1
  else
    echo "ok   $1 ${4:-}"
  fi
}

expect good.dll 0 ""
expect extra.dll 1 "extra.dll: exports helper"
expect noentry.dll 1 "noentry.dll: exports sds_entrypoint|noentry.dll: does not export SDS_EntryPoint"
expect other.dll 1 "other.dll: imports from other.dll"
expect runtime.dll 1 "runtime.dll: imports from libstdc++-6.dll"
expect extra.dll 0 "" --imports-only
expect runtime.dll 1 "runtime.dll: imports from libstdc++-6.dll" --imports-only
expect missing.dll 2 "missing.dll: no such file"
exit $failed
