#!/bin/sh
# Installs what building and testing the project needs on a fresh Debian machine, when it is
# missing. Runs apt-get only when a package is absent, so it is quick on a ready machine.
#
#   install-deps.sh [--windows]     --windows adds the MinGW-w64 cross compilers and Wine
set -eu

packages="cmake g++ make ninja-build libgtest-dev libgmock-dev libbenchmark-dev libedit-dev
  libcli11-dev pkg-config clang libclang-rt-14-dev"
if [ "${1:-}" = "--windows" ]; then
  packages="$packages g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64"
fi

missing=""
for package in $packages; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  case "$status" in
    *"install ok installed"*) ;;
    *) missing="$missing $package" ;;
  esac
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps.sh: missing packages:$missing (run as root, or install them)" >&2
  exit 1
fi
echo "install-deps.sh: installing$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends $missing >/dev/null
