#!/usr/bin/env bash
# Peak memory of trimlark-cli over a long list: COUNT paths (default 1,000,000) of files that do not exist, read
# with --files-from, once as a dry run and once as a run (each image then fails to load, so the figure is the
# run's own bookkeeping, not any picture's). Prints the peak resident size, the bytes it took per path beyond a
# run of one path, and the time. Not a test: a million paths take a minute or more.
#
#   bench/list_memory.sh
#   COUNT=100000 bench/list_memory.sh
#
# Knobs (environment): COUNT, WORK (list and outputs, default /tmp/trimlark-list-memory), CLI (the tool,
# default build/src/cli/trimlark-cli).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
COUNT=${COUNT:-1000000}
WORK=${WORK:-/tmp/trimlark-list-memory}
CLI=${CLI:-$here/build/src/cli/trimlark-cli}
TIME=/usr/bin/time
for tool in "$CLI" "$TIME"; do
    [[ -x $tool ]] || { echo "missing: $tool" >&2; exit 2; }
done

mkdir -p "$WORK/out"
list=$WORK/list-$COUNT.txt
# Paths of a realistic length (about 50 bytes), in a folder that does not exist.
[[ -f $list ]] || seq -f "$WORK/missing/photos-2024/IMG_%08g.jpg" 1 "$COUNT" >"$list"
head -n 1 "$list" >"$WORK/list-1.txt"

# Peak resident size in KB and elapsed seconds of one run over a list.
measure() {
    local list=$1
    shift
    "$TIME" -f '%M %e' -o "$WORK/time.txt" "$CLI" --files-from "$list" -o "$WORK/out" --jobs 2 "$@" \
        >/dev/null 2>&1 || true
    tail -n 1 "$WORK/time.txt" # after a "Command exited with non-zero status" line
}

printf '%-12s %12s %12s %14s %10s\n' mode paths "peak MB" "bytes/path" seconds
for mode in --dry-run --overwrite=no; do
    read -r base _ < <(measure "$WORK/list-1.txt" "$mode")
    read -r peak seconds < <(measure "$list" "$mode")
    awk -v m="${mode#--}" -v n="$COUNT" -v p="$peak" -v b="$base" -v s="$seconds" \
        'BEGIN { printf "%-12s %12d %12.1f %14.0f %10s\n", m, n, p / 1024, (p - b) * 1024 / n, s }'
done
