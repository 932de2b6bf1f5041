#!/bin/sh
# Checks the tables of a Windows build's binaries with objdump -p.
#
#   check-dll.sh qv.dll                 the product: it exports SDS_EntryPoint and nothing
#                                       else, and imports only from icad.exe, DCL.dll and
#                                       Windows system DLLs
#   check-dll.sh --imports-only FILE... any binary (icad.exe, DCL.dll): imports only from
#                                       the above, so no MinGW runtime DLL is needed
#
# Exit status 0 when every check passes, 1 on a failed check (each failure is printed on
# stderr as "FILE: message"), 2 on a usage or tool error. OBJDUMP names the objdump to use
# (default x86_64-w64-mingw32-objdump).
set -u

OBJDUMP=${OBJDUMP:-x86_64-w64-mingw32-objdump}

usage() {
  echo "usage: check-dll.sh qv.dll | check-dll.sh --imports-only FILE..." >&2
  exit 2
}

# Prints the names of the modules FILE imports from, one a line.
imported_modules() {
  printf '%s\n' "$1" | sed -n 's/^[[:space:]]*DLL Name: *//p'
}

# Prints the names FILE exports, one a line.
exported_names() {
  printf '%s\n' "$1" | awk '
    /^\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
    on && /^[[:space:]]*$/ { on = 0 }
    on && /^[[:space:]]*\[ *[0-9]+\]/ { sub(/^[[:space:]]*\[ *[0-9]+\][[:space:]]*/, ""); print }'
}

# Succeeds when module name $1 is the host, its dialog library or a Windows system DLL.
allowed_module() {
  lower=$(printf '%s' "$1" | tr 'A-Z' 'a-z')
  case "$lower" in
    icad.exe | dcl.dll) return 0 ;;
    kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | shell32.dll | ole32.dll | \
      oleaut32.dll | comdlg32.dll | comctl32.dll | shlwapi.dll | version.dll | ws2_32.dll | \
      bcrypt.dll | ntdll.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-*.dll) return 0 ;;
  esac
  return 1
}

failed=0

# check_imports FILE TABLE: every imported module is allowed.
check_imports() {
  for module in $(imported_modules "$2"); do
    if ! allowed_module "$module"; then
      echo "$1: imports from $module" >&2
      failed=1
    fi
  done
}

# check_exports FILE TABLE: SDS_EntryPoint is exported, and nothing else.
check_exports() {
  names=$(exported_names "$2")
  found=0
  for name in $names; do
    if [ "$name" = SDS_EntryPoint ]; then
      found=1
    else
      echo "$1: exports $name" >&2
      failed=1
    fi
  done
  if [ $found = 0 ]; then
    echo "$1: does not export SDS_EntryPoint" >&2
    failed=1
  fi
}

# table FILE: objdump's view of FILE, or exit 2.
table() {
  if [ ! -f "$1" ]; then
    echo "$1: no such file" >&2
    exit 2
  fi
  if ! "$OBJDUMP" -p "$1" 2>/dev/null; then
    echo "$1: $OBJDUMP cannot read it" >&2
    exit 2
  fi
}

imports_only=0
if [ "${1:-}" = --imports-only ]; then
  imports_only=1
  shift
  [ $# -ge 1 ] || usage
else
  [ $# -eq 1 ] || usage
fi

for file in "$@"; do
  tables=$(table "$file") || exit 2
  check_imports "$file" "$tables"
  [ $imports_only = 1 ] || check_exports "$file" "$tables"
done
exit $failed
