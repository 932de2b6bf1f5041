#!/bin/sh
# Checks that win/icad.def lists exactly SDS_GetGlobals and the sds_ functions declared in
# host/sds.h, and win/DCL.def exactly its dlg_ functions, so that the import libraries and
# the stand-in's exports follow the interface.
#
#   check-defs.sh [SOURCE_DIR]
#
# Exit status 0 when both lists match, 1 otherwise (the differences on stderr).
set -u

source_dir=$(cd "${1:-$(dirname "$0")/..}" && pwd)
header="$source_dir/host/sds.h"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/qv-check-defs.XXXXXX") || exit 2
trap 'rm -rf "$scratch"' EXIT

# Function names declared in the header: a name directly followed by "(".
grep -o '\b\(SDS_GetGlobals\|sds_[a-z_]*\|dlg_[a-z_]*\) *(' "$header" | tr -d ' (' |
  LC_ALL=C sort -u >"$scratch/declared"

# def_names DEF: the names of the EXPORTS section.
def_names() {
  sed -n '/^EXPORTS/,$p' "$1" | sed '1d; s/;.*//' | awk 'NF { print $1 }' | LC_ALL=C sort
}

failed=0
# compare DEF PATTERN: the names of DEF against the declared names matching PATTERN.
compare() {
  grep "$2" "$scratch/declared" >"$scratch/want"
  def_names "$1" >"$scratch/have"
  if ! cmp -s "$scratch/want" "$scratch/have"; then
    echo "$1 does not match host/sds.h (- missing, + extra):" >&2
    diff "$scratch/want" "$scratch/have" | sed -n 's/^< /- /p; s/^> /+ /p' >&2
    failed=1
  fi
}
compare "$source_dir/win/icad.def" '^\(SDS_GetGlobals\|sds_\)'
compare "$source_dir/win/DCL.def" '^dlg_'
exit $failed
