#!/usr/bin/env bash
# Peak memory of trimlark-cli with the metadata kept beside the same crop with it stripped, for JPEG, PNG and TIFF
# outputs of one large photo-sized JPEG carrying EXIF, IPTC and XMP. Rounds alternate the two, so a busy machine
# weighs on both alike; the ratio (kept over stripped, median of the rounds) is the figure to watch.
#
#   bench/metadata_memory.sh            # a 10000 x 10000 source, 3 rounds
#   SIZE=6000 ROUNDS=5 bench/metadata_memory.sh
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
SIZE=${SIZE:-10000}
ROUNDS=${ROUNDS:-3}
WORK=${WORK:-/tmp/trimlark-bench/metadata}
CLI=${CLI:-$here/build/src/cli/trimlark-cli}
for tool in "$CLI" /usr/bin/vips /usr/bin/exiftool /usr/bin/time; do
    [[ -x $tool ]] || { echo "missing: $tool" >&2; exit 2; }
done

mkdir -p "$WORK"
source=$WORK/source-$SIZE.jpg
if [[ ! -f $source ]]; then
    echo "Making a $SIZE x $SIZE JPEG with metadata in $WORK (once)..." >&2
    /usr/bin/vips gaussnoise "$WORK/n.v" "$SIZE" "$SIZE" --sigma 40 --mean 128
    /usr/bin/vips bandjoin "$WORK/n.v $WORK/n.v $WORK/n.v" "$WORK/rgb.v"
    /usr/bin/vips cast "$WORK/rgb.v" "$source[Q=90]" uchar
    rm -f "$WORK"/*.v
    /usr/bin/exiftool -q -overwrite_original -Make=Bench -Model="Bench One" -Artist="Bench" \
        -DateTimeOriginal="2024:05:06 07:08:09" -IPTC:Keywords=bench -IPTC:City=Somewhere \
        -XMP-dc:Title="A large picture" -XMP-dc:Description="Metadata carried over" "$source"
fi

# Peak resident memory (KB) of one run: the crop keeps all but a one-pixel border.
peak() { # format, --keep-metadata or --strip-metadata
    local out=$WORK/out-$1 && rm -rf "$out" && mkdir -p "$out"
    /usr/bin/time -f %M "$CLI" -j 1 -o "$out" -f "$1" --crop "pixels:1,1,$((SIZE - 2)),$((SIZE - 2))" \
        "$2" --overwrite yes "$source" 2>&1 >/dev/null | tail -n 1
}

printf "%-6s %14s %14s %8s\n" format "stripped (MB)" "kept (MB)" ratio
for format in jpg png tif; do
    ratios=() kept=() stripped=()
    for _ in $(seq "$ROUNDS"); do
        s=$(peak "$format" --strip-metadata)
        k=$(peak "$format" --keep-metadata)
        stripped+=("$s") kept+=("$k")
        ratios+=("$(awk -v k="$k" -v s="$s" 'BEGIN { printf "%.3f", k / s }')")
    done
    median() { printf "%s\n" "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
    printf "%-6s %14.1f %14.1f %8s\n" "$format" "$(median "${stripped[@]}" | awk '{ print $1 / 1024 }')" \
        "$(median "${kept[@]}" | awk '{ print $1 / 1024 }')" "$(median "${ratios[@]}")"
done
