#!/usr/bin/env bash
# Checks the man pages render, carry the project's version, and that trimlark-cli's page describes every
# option its --help lists.
# Usage: man_test.sh TRIMLARK_CLI VERSION CLI_PAGE [APP_PAGE]
set -uo pipefail
cli=$1 version=$2
shift 2
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

for page in "$@"; do
  name=$(basename "$page" | sed -E 's/\.1(\.gz)?$//')
  warnings=$(MANWIDTH=200 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page: man warns: $warnings"
  text=$(MANWIDTH=200 man -l "$page" 2>/dev/null | col -bx)
  grep -qE "^NAME$" <<<"$text" || fail "$page: no NAME section"
  grep -qE "^ +$name - " <<<"$text" || fail "$page: the NAME section does not name $name"
  grep -qF "$version" <<<"$text" || fail "$page: no version $version"
done

text=$(MANWIDTH=200 man -l "$1" 2>/dev/null | col -bx)
help_options=$("$cli" --help | grep -E '^ +-' | sed -E 's/^ +//; s/ .*//' | tr ',' '\n' | sort -u)
[ -n "$help_options" ] || fail "$cli --help lists no options"
for option in $help_options; do
  grep -qE -- "(^|[ ,])$option([ ,=]|$)" <<<"$text" || fail "$1: the option $option is not named"
done
# Each option's description is a paragraph of its own under the option (help2man finds it only after a gap of
# two spaces, or on the next line), not run into the option's line.
while IFS=$'\t' read -r option description; do
  if [ -z "$description" ]; then
    fail "$cli --help: no description column for '$option'"
  elif ! grep -qF -- "$description" <<<"$(grep -E '^ {10,}[^ -]' <<<"$text" | sed -E 's/^ +//')"; then
    fail "$1: the description of $option is not a paragraph of its own"
  fi
done < <("$cli" --help | awk '
  function flush() { if (option != "") print option "\t" substr(desc, 1, 40); option = "" }
  /^ +-/ { flush(); line = $0; sub(/^ +/, "", line)
           if (match(line, /  +/)) { option = substr(line, 1, RSTART - 1); desc = substr(line, RSTART + RLENGTH) }
           else { option = line; desc = "" }
           next }
  /^          +[^ ]/ && option != "" && desc == "" { desc = $0; sub(/^ +/, "", desc); next }
  { flush() }
  END { flush() }')

if [ "$failures" -gt 0 ]; then
  echo "$failures man page check(s) failed" >&2
  exit 1
fi
echo "man pages checked: $*"
