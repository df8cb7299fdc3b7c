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
        "$@" >/dev/null
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
