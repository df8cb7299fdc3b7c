#!/usr/bin/env bash
# Crops a 40000 x 25000 JPEG (one gigapixel) with trimlark-cli and prints its time and peak memory, to show that
# a streaming format is cropped in flat memory (target: peak resident size under 200 MB). Not a test: making
# and decoding the picture takes minutes.
#
#   bench/gigapixel_bench.sh
#   WIDTH=20000 HEIGHT=12500 bench/gigapixel_bench.sh     # a quicker, smaller run
#
# Knobs (environment): WIDTH, HEIGHT, WORK (picture and outputs, default /tmp/trimlark-gigapixel, kept between
# runs so the picture is made once), CLI (the tool, default build/src/cli/trimlark-cli).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
WIDTH=${WIDTH:-40000}
HEIGHT=${HEIGHT:-25000}
WORK=${WORK:-/tmp/trimlark-gigapixel}
CLI=${CLI:-$here/build/src/cli/trimlark-cli}
VIPS=/usr/bin/vips
TIME=/usr/bin/time

for tool in "$CLI" "$VIPS" "$TIME"; do
    [[ -x $tool ]] || { echo "missing: $tool" >&2; exit 2; }
done

source_dir=$WORK/source-${WIDTH}x${HEIGHT}
picture=$source_dir/gigapixel.jpg
if [[ ! -f $picture ]]; then
    echo "Making $picture (once)..." >&2
    mkdir -p "$source_dir"
    # Perlin noise streams from the generator to the encoder, so no full-size copy is ever held.
    $VIPS perlin "$source_dir/grey.jpg[Q=90]" "$WIDTH" "$HEIGHT" --cell-size 200 --uchar
    $VIPS colourspace "$source_dir/grey.jpg" "$source_dir/partial.jpg[Q=90]" srgb
    mv "$source_dir/partial.jpg" "$picture" && rm "$source_dir/grey.jpg"
fi
echo "source: $(vipsheader "$picture"), $(($(stat -c %s "$picture") / 1048576)) MB" >&2

measure() { # label, crop, further options
    local out=$WORK/out && rm -rf "$out" && mkdir -p "$out"
    local log=$WORK/time.log
    $TIME -f '%e %M' -o "$log" "$CLI" "$picture" -o "$out" --overwrite yes --crop "$2" "${@:3}" -q 85 >/dev/null
    read -r seconds kilobytes <"$log"
    printf '%-40s %7.1f s %7d MB peak  -> %s\n' "$1" "$seconds" $((kilobytes / 1024)) "$(vipsheader "$out"/*)"
}

echo "trimlark-cli on $(nproc) cores; load $(cut -d' ' -f1-3 /proc/loadavg)"
measure "centred 1:1 (25000 x 25000)" auto:1:1
measure "a 4000 x 3000 region near the end" "pixels:34000,20000,4000,3000" --corner top-left
