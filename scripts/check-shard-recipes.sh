#!/usr/bin/env bash
# Runs the README's recipes for cutting a list across machines on this one machine and checks that each writes
# the same files, byte for byte, as one run of the whole list: GNU parallel with --pipe -N, GNU parallel over a
# split list, and a job array's tasks (the Slurm script's body, run for each task id in turn).
#
#   scripts/check-shard-recipes.sh [CLI]        # CLI: default build/src/cli/trimlark-cli
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=$(realpath "${1:-$root/build/src/cli/trimlark-cli}")
for tool in parallel vips; do
    command -v "$tool" >/dev/null || { echo "missing: $tool (scripts/packages.txt)" >&2; exit 2; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

mkdir photos
for i in $(seq 1 23); do
    vips xyz "photos/img-$i.tif" $((40 + i)) 30
done
find photos -name '*.tif' | sort >list.txt
per=5 # images per part: 23 gives parts of 5, 5, 5, 5 and 3

mkdir -p one-run/out
"$cli" --files-from list.txt -o one-run/out -f jpg >/dev/null 2>&1 || { echo "the single run failed" >&2; exit 1; }

# GNU parallel, each job a block of $per lines from standard input; {#} is the job's number from 1.
mkdir -p pipe/out
parallel --pipe -N $per -j 3 "$cli --files-from - --first-index \$(( ({#} - 1) * $per + 1 )) -o pipe/out -f jpg" \
    <list.txt >/dev/null 2>&1

# GNU parallel over a split list; the parts sort in list order, so job {#} runs part {#}.
mkdir -p split/out
split -l $per -d -a 4 list.txt split/part.
ls split/part.* | parallel -j 3 "$cli --files-from {} --first-index \$(( ({#} - 1) * $per + 1 )) -o split/out -f jpg" \
    >/dev/null 2>&1

# The job array's script, one task id after another.
mkdir -p array/out
for SLURM_ARRAY_TASK_ID in 0 1 2 3 4; do
    start=$((SLURM_ARRAY_TASK_ID * per))
    tail -n +$((start + 1)) list.txt | head -n $per |
        "$cli" --files-from - --first-index $((start + 1)) -o array/out -f jpg >/dev/null 2>&1
done

status=0
for recipe in pipe split array; do
    if diff -r one-run/out "$recipe/out" >/dev/null && [[ $(ls "$recipe/out" | wc -l) == 23 ]]; then
        echo "$recipe: the same 23 files as one run"
    else
        echo "$recipe: differs from one run" >&2
        status=1
    fi
done
exit $status
