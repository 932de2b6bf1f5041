#!/bin/sh
# The main job: builds the add-on and the stand-in host, then runs a console session that
# loads the add-on the way the CAD host does and calls its LISP functions on an example.
#
#   demo.sh [SCRIPT]      default: examples/session.txt
set -eu
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$source_dir/build

"$source_dir/scripts/install-deps.sh"
cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" >/dev/null
cd "$source_dir"
"$build_dir/standin/console/icad" "${1:-examples/session.txt}"
