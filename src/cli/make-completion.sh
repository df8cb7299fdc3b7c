#!/usr/bin/env bash
# Writes the bash completion of trimlark-cli: TEMPLATE with @OPTIONS@ replaced by every option the tool's
# --help lists and @VALUE_OPTIONS@ by those of them that take a value, so the completion follows the options.
# Usage: make-completion.sh TRIMLARK_CLI TEMPLATE OUTPUT
set -euo pipefail
cli=$1 template=$2 output=$3
help=$("$cli" --help)
# An option line: names joined by commas, then the value's type unless the option is a flag (a flag's line
# goes on with two spaces, the end of the line, or CLI11's "Excludes:" / "Needs:").
table=$(awk '/^ +-/ {
    sub(/^ +/, "")
    takes = ($2 != "" && $2 !~ /:$/ && substr($0, length($1) + 1, 2) != "  ")
    n = split($1, names, ",")
    for (i = 1; i <= n; i++) print names[i], takes
}' <<<"$help")
if [ -z "$table" ]; then
  echo "make-completion.sh: $cli --help lists no options" >&2
  exit 1
fi
options=$(awk '{ print $1 }' <<<"$table" | paste -sd' ')
value_options=$(awk '$2 == 1 { print $1 }' <<<"$table" | paste -sd'|')
sed -e "s/@OPTIONS@/$options/" -e "s/@VALUE_OPTIONS@/${value_options//|/ | }/" "$template" >"$output.tmp"
mv "$output.tmp" "$output"
