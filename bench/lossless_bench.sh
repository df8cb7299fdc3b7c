#!/usr/bin/env bash
# The lossless JPEG crop beside jpegtran -crop (one process per file) and ImageMagick's re-encoding crop: the
# centred 1:1 crop of 6000 x 4000 JPEGs. Rounds alternate the tools; ms per image is the median over rounds, and
# each peer's time is also given over trimlark-cli's.
#
#   bench/lossless_bench.sh              # 6 photos, 3 rounds
#   COUNT=3 ROUNDS=2 bench/lossless_bench.sh
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
COUNT=${COUNT:-6}
ROUNDS=${ROUNDS:-3}
WORK=${WORK:-/tmp/trimlark-bench/lossless}
CLI=${CLI:-$here/build/src/cli/trimlark-cli}
for tool in "$CLI" /usr/bin/jpegtran /usr/bin/convert /usr/bin/vips /usr/bin/time; do
    [[ -x $tool ]] || { echo "missing: $tool" >&2; exit 2; }
done

corpus=$WORK/corpus-$COUNT
if [[ ! -f $corpus/done ]]; then
    echo "Making $COUNT photos of 6000 x 4000 in $corpus (once)..." >&2
    rm -rf "$corpus" && mkdir -p "$corpus"
    t=$WORK/tmp && mkdir -p "$t"
    /usr/bin/vips perlin "$t/p.v" 6000 4000 --cell-size 300 --uchar --seed 5
    /usr/bin/vips bandjoin "$t/p.v $t/p.v $t/p.v" "$t/rgb.v"
    for i in $(seq 1 "$COUNT"); do
        /usr/bin/vips gaussnoise "$t/n.v" 6000 4000 --sigma 12 --mean 0 --seed "$i"
        /usr/bin/vips add "$t/rgb.v" "$t/n.v" "$t/s.v"
        /usr/bin/vips cast "$t/s.v" "$corpus/img$i.jpg[Q=92]" uchar
    done
    rm -rf "$t"
    touch "$corpus/done"
fi

# run NAME COMMAND...: ms per image and peak MB of one batch into a fresh folder $out.
run() {
    local name=$1
    shift
    out=$WORK/out-$name && rm -rf "$out" && mkdir -p "$out"
    /usr/bin/time -f "%e %M" -o "$WORK/time.txt" "$@" >/dev/null 2>&1
    read -r secs kb <"$WORK/time.txt"
    local files
    files=$(find "$out" -type f | wc -l)
    [[ $files == "$COUNT" ]] || { echo "$name wrote $files of $COUNT files" >&2; exit 1; }
    echo "$(awk -v s="$secs" -v n="$COUNT" 'BEGIN { printf "%.0f", s * 1000 / n }') $((kb / 1024))"
}

declare -A ms mb
for round in $(seq "$ROUNDS"); do
    read -r t m < <(run cli "$CLI" "$corpus" -o "$WORK/out-cli" --lossless-jpeg --crop auto:1:1 -f jpg -j 2)
    ms[cli]+="$t " mb[cli]=$m
    read -r t m < <(run jpegtran bash -c 'for f in "$1"/*.jpg; do /usr/bin/jpegtran -crop 4000x4000+1000+0 -copy all -outfile "$2/$(basename "$f")" "$f"; done' _ "$corpus" "$WORK/out-jpegtran")
    ms[jpegtran]+="$t " mb[jpegtran]=$m
    read -r t m < <(run convert bash -c 'for f in "$1"/*.jpg; do /usr/bin/convert "$f" -crop 4000x4000+1000+0 -quality 80 "$2/$(basename "$f")"; done' _ "$corpus" "$WORK/out-convert")
    ms[convert]+="$t " mb[convert]=$m
done
median() { printf "%s\n" $1 | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
cli=$(median "${ms[cli]}")
echo "Centred 1:1 of $COUNT JPEGs of 6000 x 4000, median of $ROUNDS rounds ($(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg))"
printf "  %-34s %9s %9s %8s\n" tool ms/image "vs cli" "peak MB"
for tool in cli jpegtran convert; do
    t=$(median "${ms[$tool]}")
    label=$tool
    [[ $tool == cli ]] && label="trimlark-cli --lossless-jpeg, 2 in flight"
    [[ $tool == jpegtran ]] && label="jpegtran -crop, one per file"
    [[ $tool == convert ]] && label="ImageMagick convert, one per file"
    printf "  %-34s %9s %8.2fx %8s\n" "$label" "$t" "$(awk -v a="$t" -v b="$cli" 'BEGIN { print a / b }')" "${mb[$tool]}"
done
