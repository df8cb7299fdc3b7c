#!/usr/bin/env bash
# Validates the desktop file and the AppStream metadata: an error or a warning fails, and so does any
# AppStream issue above pedantic (desktop-file-validate's hints and appstreamcli's pedantic notes do not).
# Usage: validate_test.sh DESKTOP_FILE METAINFO_FILE
set -uo pipefail
desktop=$1 metainfo=$2
failures=0

out=$(desktop-file-validate "$desktop" 2>&1)
status=$?
echo "$out"
if [ $status -ne 0 ] || grep -qE ': (error|warning): ' <<<"$out"; then
  echo "FAIL: desktop-file-validate $desktop" >&2
  failures=$((failures + 1))
fi

out=$(appstreamcli validate --no-net --strict --no-color "$metainfo" 2>&1)
status=$?
echo "$out"
if [ $status -ne 0 ]; then
  echo "FAIL: appstreamcli validate $metainfo" >&2
  failures=$((failures + 1))
fi
exit $((failures > 0))
