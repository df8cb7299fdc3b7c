#!/usr/bin/env bash
# Finding a picture's border: trimlark's (a JPEG read reduced first, or read whole) beside ImageMagick's
# `convert IN -fuzz 10% -trim +repage OUT` on the same product-like 6000 x 4000 JPEGs, one picture at a time.
# Not a test: numbers vary with the machine (run it when nothing else holds the cores).
#
#   bench/trim_compare.sh        # pictures made once in WORK (default /tmp/trimlark-trim), kept between runs
#
# ImageMagick is timed twice per picture: the trim alone (`-trim info:`, its geometry printed) and the trim written
# to a JPEG; each the best of ROUNDS (default 3). Knobs: WORK, BUILD (default build/), ROUNDS.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$here/build}
WORK=${WORK:-/tmp/trimlark-trim}
ROUNDS=${ROUNDS:-3}
convert=/usr/bin/convert # a `convert` earlier on the PATH may not be ImageMagick's

cmake --build "$BUILD" --target trim_bench >/dev/null
mkdir -p "$WORK"
if ! ls "$WORK"/product-*.jpg >/dev/null 2>&1; then
    "$BUILD/tests/imaging/trim_bench" --make "$WORK" 6 >/dev/null
fi

echo "== trimlark (median of 5 rounds each)"
"$BUILD/tests/imaging/trim_bench" "$WORK"/product-*.jpg

# The best of ROUNDS runs of a command, in ms.
best_ms() {
    local best=""
    for _ in $(seq "$ROUNDS"); do
        local start end ms
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1
        end=$(date +%s%N)
        ms=$(((end - start) / 1000000))
        if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
    done
    echo "$best"
}

echo "== ImageMagick (best of $ROUNDS)"
printf '%-28s %10s %10s  %s\n' file "trim ms" "+write ms" geometry
total_trim=0
total_write=0
for picture in "$WORK"/product-*.jpg; do
    trim=$(best_ms "$convert" "$picture" -fuzz 10% -trim info:)
    write=$(best_ms "$convert" "$picture" -fuzz 10% -trim +repage "$WORK/im-out.jpg")
    geometry=$("$convert" "$picture" -fuzz 10% -trim info: | awk '{print $4, $3}')
    printf '%-28s %10d %10d  %s\n' "$(basename "$picture")" "$trim" "$write" "$geometry"
    total_trim=$((total_trim + trim))
    total_write=$((total_write + write))
done
printf '%-28s %10d %10d\n' total "$total_trim" "$total_write"

# The whole job: trimmed, then fitted within 1200 x 1200 on white, to JPEG quality 80. trimlark-cli takes the six
# in one run (its default images in flight); ImageMagick one process per picture, one after another.
cli=$BUILD/src/cli/trimlark-cli
cmake --build "$BUILD" --target trimlark-cli >/dev/null
echo "== Trimmed and fitted within 1200 x 1200 on white, JPEG quality 80 (best of $ROUNDS)"
rm -rf "$WORK/cli-out" "$WORK/im-out" && mkdir -p "$WORK/im-out"
cli_ms=$(best_ms "$cli" "$WORK"/product-*.jpg -o "$WORK/cli-out" -n "[FileName]" --overwrite yes --crop trim \
    --fit 1200x1200 --fill white -q 80)
im_job() {
    for picture in "$WORK"/product-*.jpg; do
        "$convert" "$picture" -fuzz 10% -trim +repage -resize 1200x1200 -gravity center -extent 1200x1200 \
            -quality 80 "$WORK/im-out/$(basename "$picture")"
    done
}
im_ms=$(best_ms im_job)
for made in "$WORK"/cli-out/*.jpg "$WORK"/im-out/*.jpg; do
    size=$(/usr/bin/vipsheader -f width "$made")x$(/usr/bin/vipsheader -f height "$made")
    [ "$size" = 1200x1200 ] || echo "WRONG SIZE: $made is $size"
done
printf 'trimlark-cli %d ms, ImageMagick %d ms: %.1fx its speed (load average %s)\n' "$cli_ms" "$im_ms" \
    "$(echo "$im_ms / $cli_ms" | bc -l)" "$(cut -d' ' -f1-3 /proc/loadavg)"
