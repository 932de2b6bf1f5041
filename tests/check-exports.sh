#!/bin/sh
# Checks the application library's dynamic symbol table: SDS_EntryPoint is the only
# defined global symbol, and every sds_ / dlg_ function it uses is left undefined for the
# process that loads it.
#
#   check-exports.sh LIBRARY
set -eu
library=$1
defined=$(nm -D --defined-only "$library" | awk '$2 ~ /^[A-Z]$/ && $2 != "U" {print $3}')
if [ "$defined" != "SDS_EntryPoint" ]; then
  echo "check-exports.sh: $library defines more than SDS_EntryPoint:" >&2
  echo "$defined" >&2
  exit 1
fi
for name in sds_link sds_defun sds_getargs sds_fail dlg_load_dialog dlg_start_dialog; do
  if ! nm -D --undefined-only "$library" | grep -q " $name\$"; then
    echo "check-exports.sh: $library does not leave $name to the host" >&2
    exit 1
  fi
done
echo "check-exports.sh: $library exports SDS_EntryPoint alone"
