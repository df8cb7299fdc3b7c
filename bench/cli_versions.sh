#!/usr/bin/env bash
# Times two builds of trimlark-cli on the same batch, interleaved round by round (which goes first alternates) so
# that a noisy machine weighs on both alike, and prints each one's median ms per image, the ratio and whether their outputs are the same bytes.
#
#   bench/cli_versions.sh OLD_CLI NEW_CLI [FOLDER_OF_IMAGES]
#
# The folder defaults to the JPEG corpus bench/cli_bench.sh makes. Knobs (environment): ROUNDS (default 5),
# JOBS (images in flight, default 2), and the crop options in ARGS (default the centred 1:1 JPEG job).
set -euo pipefail

old=${1:?old trimlark-cli}
new=${2:?new trimlark-cli}
images=${3:-/tmp/trimlark-bench/corpus-6000x4000-20/jpeg}
ROUNDS=${ROUNDS:-5}
JOBS=${JOBS:-2}
read -r -a args <<<"${ARGS:---crop auto:1:1 -f jpg -q 80 --keep-metadata}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

count=$(find "$images" -maxdepth 1 -type f | wc -l)
run() { # tool, output folder -> milliseconds
    rm -rf "$2" && mkdir -p "$2"
    local start end
    start=$(date +%s%N)
    "$1" -o "$2" -j "$JOBS" "${args[@]}" "$images" >/dev/null 2>&1
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

: >"$work/old.ms"
: >"$work/new.ms"
for round in $(seq "$ROUNDS"); do
    if ((round % 2)); then
        run "$old" "$work/old" >>"$work/old.ms"
        run "$new" "$work/new" >>"$work/new.ms"
    else
        run "$new" "$work/new" >>"$work/new.ms"
        run "$old" "$work/old" >>"$work/old.ms"
    fi
done
o=$(median <"$work/old.ms")
n=$(median <"$work/new.ms")
echo "$count images, $ROUNDS rounds, $JOBS in flight, load $(cut -d' ' -f1-3 /proc/loadavg)"
awk -v o="$o" -v n="$n" -v c="$count" 'BEGIN {
    printf "old: %.0f ms per image\nnew: %.0f ms per image\nnew / old: %.3f\n", o / c, n / c, n / o }'
if diff -r "$work/old" "$work/new" >/dev/null; then echo "outputs: the same bytes"; else echo "outputs: DIFFER"; fi
