#!/bin/sh
# Runs the project's console sessions twice, with the Linux build (icad + qv.so) and with
# the Windows build under Wine (icad.exe + DCL.dll + qv.dll + qv.dcl in one folder), and
# compares the two runs byte for byte: printed output, messages, exit status, the sds_/dlg_
# trace, and every file the session leaves in its working directory (work files).
#
#   wine-e2e.sh [--source DIR] [--linux DIR] [--windows DIR] [--keep] [SESSION...]
#
#   --source DIR   the source tree (default: the tree this script is in)
#   --linux DIR    the native build directory (default: SOURCE/build)
#   --windows DIR  the cross build directory (default: SOURCE/build-win)
#   --keep         keep the scratch directory and print its path
#   SESSION        console scripts, relative to SOURCE (default: examples/*.txt,
#                  win/sessions/*.txt and the session scripts *.txt under tests/e2e)
#
# Each session runs in a fresh working directory that holds a copy of SOURCE/examples,
# SOURCE/win/sessions and SOURCE/tests/e2e, with the script's path relative to it, and
# standard input from an empty file. WINEPREFIX, when set, names the Wine prefix to use;
# otherwise a scratch prefix is made. Exit status: 0 when every session ran alike, 1 when
# any differed, 2 on a setup error, 77 when Wine or a build is missing (a skipped test for
# CTest).
set -u

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/.." && pwd)
linux_dir=
windows_dir=
keep=0
sessions=

while [ $# -gt 0 ]; do
  case "$1" in
    --source) source_dir=$(cd "$2" && pwd) || exit 2; shift 2 ;;
    --linux) linux_dir=$2; shift 2 ;;
    --windows) windows_dir=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    -h | --help) sed -n '2,/^set -u/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    -*) echo "wine-e2e.sh: unknown option $1" >&2; exit 2 ;;
    *) sessions="$sessions $1"; shift ;;
  esac
done
linux_dir=$(cd "${linux_dir:-$source_dir/build}" 2>/dev/null && pwd) || {
  echo "wine-e2e.sh: skipped: no native build directory" >&2; exit 77; }
windows_dir=$(cd "${windows_dir:-$source_dir/build-win}" 2>/dev/null && pwd) || {
  echo "wine-e2e.sh: skipped: no cross build directory" >&2; exit 77; }

# first_file NAME DIR...: the first DIR/NAME that exists.
first_file() {
  name=$1
  shift
  for dir in "$@"; do
    if [ -f "$dir/$name" ]; then
      echo "$dir/$name"
      return 0
    fi
  done
  return 1
}

linux_icad=$(first_file icad "$linux_dir/standin/console" "$linux_dir") || {
  echo "wine-e2e.sh: skipped: no icad in $linux_dir" >&2; exit 77; }
linux_app=$(first_file qv.so "$linux_dir") || {
  echo "wine-e2e.sh: skipped: no qv.so in $linux_dir" >&2; exit 77; }
win_icad=$(first_file icad.exe "$windows_dir/run" "$windows_dir/standin/console") || {
  echo "wine-e2e.sh: skipped: no icad.exe in $windows_dir" >&2; exit 77; }
win_dcl=$(first_file DCL.dll "$windows_dir/run" "$windows_dir/standin/dcl") || {
  echo "wine-e2e.sh: skipped: no DCL.dll in $windows_dir" >&2; exit 77; }
win_app=$(first_file qv.dll "$windows_dir/run" "$windows_dir") || {
  echo "wine-e2e.sh: skipped: no qv.dll in $windows_dir" >&2; exit 77; }
# The wine64 package alone installs its loader outside the PATH.
wine=$(command -v wine64 || command -v wine || first_file wine64 /usr/lib/wine) || {
  echo "wine-e2e.sh: skipped: wine is not installed" >&2; exit 77; }
wineserver=$(command -v wineserver || first_file wineserver64 /usr/lib/wine) || {
  echo "wine-e2e.sh: skipped: wineserver is not installed" >&2; exit 77; }

if [ -z "$sessions" ]; then
  sessions=$(cd "$source_dir" && {
    ls examples/*.txt win/sessions/*.txt 2>/dev/null
    [ -d tests/e2e ] && find tests/e2e -name '*.txt' -type f | LC_ALL=C sort
  })
fi
if [ -z "$sessions" ]; then
  echo "wine-e2e.sh: skipped: no sessions" >&2
  exit 77
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/qv-wine-e2e.XXXXXX") || exit 2
finish() {
  if [ -n "${own_prefix:-}" ]; then
    WINEPREFIX=$WINEPREFIX "$wineserver" -w 2>/dev/null
  fi
  if [ $keep = 1 ]; then
    echo "wine-e2e.sh: kept $scratch" >&2
  else
    rm -rf "$scratch"
  fi
}
trap finish EXIT
trap 'exit 2' INT TERM

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX="$scratch/prefix"
  own_prefix=1
  # The first start creates the prefix; its messages are not part of any session.
  "$wine" wineboot -i >"$scratch/wineboot.log" 2>&1
  "$wineserver" -w 2>/dev/null
fi

# The Windows host's folder, as the CAD host would have it.
win_folder="$scratch/icad"
mkdir -p "$win_folder"
cp "$win_icad" "$win_dcl" "$win_app" "$win_folder/" || exit 2
if [ -f "$source_dir/dialogs/qv.dcl" ]; then
  cp "$source_dir/dialogs/qv.dcl" "$win_folder/" || exit 2
fi
: >"$scratch/empty"

# workdir DIR: a fresh working directory with the session inputs.
workdir() {
  mkdir -p "$1"
  for part in examples win/sessions tests/e2e; do
    if [ -d "$source_dir/$part" ]; then
      mkdir -p "$1/$(dirname "$part")"
      cp -R "$source_dir/$part" "$1/$(dirname "$part")/"
    fi
  done
}

# compare_file LABEL A B: reports a difference between two files of a session.
compare_file() {
  if ! cmp -s "$2" "$3"; then
    echo "--- $session: $1 differs (Linux, then Windows)"
    diff -u --text "$2" "$3" | sed -n '3,40p' | cat -A
    return 1
  fi
  return 0
}

failed=0
count=0
for session in $sessions; do
  count=$((count + 1))
  run="$scratch/run$count"
  for side in linux windows; do
    workdir "$run/$side"
    mkdir -p "$run/$side.out"
  done

  (cd "$run/linux" && "$linux_icad" --app "$linux_app" --trace ../linux.out/trace "$session" \
    <"$scratch/empty" >../linux.out/stdout 2>../linux.out/stderr
  echo $? >../linux.out/status)
  (cd "$run/windows" && timeout 300 "$wine" "$win_folder/icad.exe" --trace ../windows.out/trace \
    "$session" <"$scratch/empty" >../windows.out/stdout 2>../windows.out/stderr
  echo $? >../windows.out/status)

  same=1
  for part in status stdout stderr trace; do
    [ -f "$run/linux.out/$part" ] || : >"$run/linux.out/$part"
    [ -f "$run/windows.out/$part" ] || : >"$run/windows.out/$part"
    compare_file "$part" "$run/linux.out/$part" "$run/windows.out/$part" || same=0
  done
  # Files the session created or changed in its working directory.
  (cd "$run/linux" && find . -type f | LC_ALL=C sort) >"$run/linux.out/files"
  (cd "$run/windows" && find . -type f | LC_ALL=C sort) >"$run/windows.out/files"
  if compare_file "file list" "$run/linux.out/files" "$run/windows.out/files"; then
    while IFS= read -r file; do
      compare_file "$file" "$run/linux/$file" "$run/windows/$file" || same=0
    done <"$run/linux.out/files"
  else
    same=0
  fi

  if [ $same = 1 ]; then
    echo "same     $session"
  else
    echo "DIFFERS  $session"
    failed=1
  fi
done
exit $failed
