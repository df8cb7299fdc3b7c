#!/usr/bin/env bash
# For one picture of each input format, the memory a save is estimated to hold (imaging_bench --cost) beside what
# trimlark-cli really holds writing it whole as JPEG: its peak resident size (GNU time) less that of the same run
# over a 64 x 64 PNG. Not a test: making the HEIC and AVIF pictures takes minutes.
#
#   cmake --build build --target imaging_bench trimlark-cli && bench/decode_memory.sh
#
# Knobs (environment): SIZE (side of the square pictures, default 4000), WORK (pictures and outputs, default
# /tmp/trimlark-decode-memory, kept between runs so the pictures are made once), BUILD (default build).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
SIZE=${SIZE:-4000}
WORK=${WORK:-/tmp/trimlark-decode-memory}
BUILD=${BUILD:-$here/build}
CLI=$BUILD/src/cli/trimlark-cli
BENCH=$BUILD/tests/imaging/imaging_bench
VIPS=/usr/bin/vips
TIME=/usr/bin/time
for tool in "$CLI" "$BENCH" "$VIPS" "$TIME"; do
    [[ -x $tool ]] || { echo "missing: $tool" >&2; exit 2; }
done

pictures=$WORK/$SIZE
mkdir -p "$pictures"
cd "$pictures"
if [[ ! -f rgb.v ]]; then
    echo "Making the pictures (once)..." >&2
    # A gradient with noise in each band: the codecs have real work, as with a photo.
    for band in r g b; do $VIPS gaussnoise "n$band.v" "$SIZE" "$SIZE" --sigma 25 --mean 0; done
    $VIPS xyz xy.v "$SIZE" "$SIZE"
    $VIPS extract_band xy.v x.v 0 && $VIPS extract_band xy.v y.v 1
    $VIPS linear x.v rr.v "$(echo "255 / $SIZE" | bc -l)" 0 && $VIPS linear y.v gg.v "$(echo "255 / $SIZE" | bc -l)" 0
    $VIPS add rr.v nr.v r.v && $VIPS add gg.v ng.v g.v && $VIPS linear nb.v b.v 1 128
    $VIPS bandjoin "r.v g.v b.v" f.v && $VIPS cast f.v u.v uchar && $VIPS copy u.v rgb.v --interpretation srgb
    rm -f n?.v xy.v x.v y.v rr.v gg.v r.v g.v b.v f.v u.v
    $VIPS black tiny.v 64 64 --bands 3 && $VIPS copy tiny.v tiny.png && rm tiny.v
    $VIPS copy rgb.v "baseline.jpg[Q=90]"
    $VIPS copy rgb.v "progressive.jpg[Q=90,interlace]"
    $VIPS copy rgb.v "progressive-420.jpg[Q=85,interlace]"
    $VIPS copy rgb.v "subsampled-420.jpg[Q=85]"
    $VIPS copy baseline.jpg turned.jpg
    exiftool -q -overwrite_original -Orientation=6 -n turned.jpg
    $VIPS copy rgb.v plain.png && $VIPS copy rgb.v "interlaced.png[interlace]"
    $VIPS copy rgb.v strips.tif && $VIPS copy rgb.v "one-lzw-strip.tif[compression=lzw,tile-height=$SIZE]"
    $VIPS copy rgb.v "tiled.tif[tile,compression=deflate]"
    $VIPS copy rgb.v plain.gif
    $VIPS copy rgb.v "lossy.webp[Q=90]" && $VIPS copy rgb.v "lossless.webp[lossless]"
    $VIPS black black.v "$SIZE" "$SIZE" --bands 3 && $VIPS copy black.v "one-colour.webp[lossless]" && rm black.v
    $VIPS copy rgb.v tiled.jp2 && $VIPS copy rgb.v "one-tile.jp2[tile-width=$SIZE,tile-height=$SIZE]"
    $VIPS magicksave rgb.v plain.bmp --format bmp
    $VIPS heifsave rgb.v plain.heic --Q 50 && $VIPS heifsave rgb.v plain.avif --Q 50 --compression av1
fi

# peak KiB of one run of trimlark-cli over $1, writing it whole as JPEG; further arguments go to the tool
peak() {
    rm -rf out && mkdir out
    $TIME -f %M -o time.log "$CLI" "$1" -o out --crop none -f JPG --overwrite yes --strip-metadata -j 1 "${@:2}" \
        >/dev/null 2>&1
    cat time.log
}

base=$(peak tiny.png)
printf '%-30s %-13s %12s %12s %7s\n' picture size "estimate MB" "held MB" ratio
measure() { # file, lossless (0/1)
    local extra=() && [[ $2 == 1 ]] && extra=(--lossless-jpeg)
    local estimate held
    estimate=$("$BENCH" --cost "$1" JPG "$2")
    held=$(($(peak "$1" "${extra[@]}") - base))
    awk -v f="$1$([[ $2 == 1 ]] && echo ' (lossless)')" -v s="$(vipsheader "$1" 2>/dev/null | awk '{print $2}')" \
        -v e="$estimate" -v h="$held" \
        'BEGIN { printf "%-30s %-13s %12.1f %12.1f %7.2f\n", f, s, e / 1048576, h / 1024, e / 1024 / h }'
}
for file in baseline.jpg progressive.jpg progressive-420.jpg turned.jpg plain.png interlaced.png strips.tif \
    one-lzw-strip.tif tiled.tif plain.gif lossy.webp lossless.webp one-colour.webp tiled.jp2 one-tile.jp2 \
    plain.bmp plain.heic plain.avif; do
    measure "$file" 0
done
for file in baseline.jpg subsampled-420.jpg; do
    measure "$file" 1
done
