#!/usr/bin/env bash
# Checks the bash completion of trimlark-cli against the tool: completing "-" offers exactly the options its
# --help lists, every option the completion names is one of them, and a few lines complete as a user expects.
# Usage: completion_test.sh TRIMLARK_CLI COMPLETION_FILE
set -uo pipefail
cli=$1 completion=$2
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# shellcheck disable=SC1091
source /usr/share/bash-completion/bash_completion || { echo "bash-completion is not installed" >&2; exit 1; }
# shellcheck disable=SC1090
source "$completion"
[ "$(complete -p trimlark-cli 2>/dev/null)" = "complete -F _trimlark_cli trimlark-cli" ] ||
  fail "the file does not register a completion for trimlark-cli"

# The words a user would get after typing the given words (the last one possibly empty), one per line.
complete_words() {
  COMP_WORDS=(trimlark-cli "$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="${COMP_WORDS[*]}"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _trimlark_cli trimlark-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort
}
expect() {
  local want=$1
  shift
  local got
  got=$(complete_words "$@" | paste -sd' ')
  [ "$got" = "$want" ] || fail "trimlark-cli $* <TAB>: got '$got', want '$want'"
}

help=$("$cli" --help) || fail "$cli --help failed"
help_options=$(grep -E '^ +-' <<<"$help" | sed -E 's/^ +//; s/ .*//' | tr ',' '\n' | sort -u)
[ -n "$help_options" ] || fail "$cli --help lists no options"

offered=$(complete_words -)
if [ "$offered" != "$help_options" ]; then
  fail "completing '-' differs from --help's options (< --help, > completion):"
  diff <(echo "$help_options") <(echo "$offered") >&2
fi

# No branch of the completion (a case pattern such as "-f | --format)") for an option the tool no longer has.
named=$(grep -E '^ *-[^)]*\)$' "$completion" | tr -d ')|' | tr ' ' '\n' | grep -E '^-' | sort -u)
[ -n "$named" ] || fail "the completion has no branch for an option's value"
for option in $named; do
  grep -qxF -- "$option" <<<"$help_options" || fail "the completion names $option, which --help does not list"
done

expect "--overwrite" --ove
expect "ask no yes" --overwrite ""
expect "bottom-left bottom-right" --corner bo
expect "16:10 16:9" --crop auto:16
expect "" --quality ""

if [ "$failures" -gt 0 ]; then
  echo "$failures completion check(s) failed" >&2
  exit 1
fi
echo "completion of $(wc -l <<<"$help_options") options checked"
