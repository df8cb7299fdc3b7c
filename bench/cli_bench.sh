#!/usr/bin/env bash
# Times one batch with trimlark-cli, ImageMagick (one convert per file) and the vips command-line tool (one
# vips per file), side by side, and prints ms per image, each peer's time over trimlark-cli's, peak memory
# and output sizes.
#
#   bench/cli_bench.sh                       # 20 JPEGs of 6000 x 4000, 6 PNGs with alpha, one 100 MP JPEG
#   COUNT=5 WIDTH=3000 HEIGHT=2000 bench/cli_bench.sh      # a quicker, smaller run
#
# Knobs (environment): COUNT (JPEGs), WIDTH, HEIGHT, PNG_COUNT, BIG=0 to leave out the 100 MP JPEG,
# FLAT=0 to leave out the 10-versus-200 memory check, WORK (corpus and outputs, default /tmp/trimlark-bench,
# kept between runs so the corpus is made once), CLI (the tool, default build/src/cli/trimlark-cli).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
COUNT=${COUNT:-20}
WIDTH=${WIDTH:-6000}
HEIGHT=${HEIGHT:-4000}
PNG_COUNT=${PNG_COUNT:-6}
BIG=${BIG:-1}
FLAT=${FLAT:-1}
WORK=${WORK:-/tmp/trimlark-bench}
CLI=${CLI:-$here/build/src/cli/trimlark-cli}
export CONVERT=/usr/bin/convert # another convert may come first on the PATH
export VIPS=/usr/bin/vips
TIME=/usr/bin/time

for tool in "$CLI" "$CONVERT" "$VIPS" "$TIME" /usr/bin/exiftool /usr/bin/vipsheader; do
    [[ -x $tool ]] || { echo "missing: $tool" >&2; exit 2; }
done

corpus=$WORK/corpus-${WIDTH}x${HEIGHT}-$COUNT
jpegs=$corpus/jpeg
pngs=$corpus/png
big=$WORK/big/big.jpg

. "$here/bench/corpus.sh"

make_corpus() {
    [[ -f $corpus/done ]] && return
    echo "Making the corpus in $corpus (once)..." >&2
    rm -rf "$corpus" && mkdir -p "$jpegs" "$pngs"
    make_photos "$jpegs" "$COUNT" "$WIDTH" "$HEIGHT"
    local t=$corpus/tmp && mkdir -p "$t"
    # PNGs with alpha: half-size copies with a soft Perlin mask.
    local pw=$((WIDTH / 2)) ph=$((HEIGHT / 2))
    $VIPS perlin "$t/a.v" "$pw" "$ph" --cell-size 200 --uchar --seed 9
    for i in $(seq 1 "$PNG_COUNT"); do
        local src
        src=$(ls "$jpegs" | sed -n "$(( (i - 1) % COUNT + 1 ))p")
        $VIPS resize "$jpegs/$src" "$t/half.v" 0.5
        $VIPS extract_area "$t/half.v" "$t/halfc.v" 0 0 "$pw" "$ph"
        $VIPS bandjoin "$t/halfc.v $t/a.v" "$pngs/alpha$i.png"
    done
    rm -rf "$t"
    touch "$corpus/done"
}

make_big() {
    [[ $BIG == 1 && ! -f $big ]] || return 0
    echo "Making the 100 MP JPEG (once)..." >&2
    mkdir -p "$(dirname "$big")"
    make_big_photo "$big"
}

# measure LABEL COUNT OUTDIR COMMAND...: runs the command under /usr/bin/time; sets ms_per, peak_mb, out_bytes.
# GNU time's maximum resident size covers the largest process of the command's tree, so a per-file loop
# reports its biggest single run.
measure() {
    local label=$1 n=$2 outdir=$3
    shift 3
    rm -rf "$outdir" && mkdir -p "$outdir"
    local stats=$WORK/time.txt status=0
    $TIME -f "%e %M" -o "$stats" "$@" >"$WORK/last.log" 2>&1 || status=$?
    local secs kb
    read -r secs kb <"$stats" || true
    ms_per=$(awk -v s="$secs" -v n="$n" 'BEGIN { printf "%.0f", s * 1000 / n }')
    peak_mb=$(awk -v k="$kb" 'BEGIN { printf "%.0f", k / 1024 }')
    out_bytes=$(du -sb "$outdir" | cut -f1)
    files=$(find "$outdir" -type f | wc -l)
    if [[ $status != 0 || $files != "$n" ]]; then
        note="FAILED ($files of $n written, exit $status: $(tail -1 "$WORK/last.log"))"
    else
        note=""
    fi
}

report_header() {
    printf '\n%s\n' "$1"
    printf '  %-28s %10s %10s %9s %12s  %s\n' tool "ms/image" "vs cli" "peak MB" "output MB" ""
}

cli_ms=1
report_row() {
    local ratio
    ratio=$(awk -v a="$ms_per" -v b="$cli_ms" 'BEGIN { printf "%.2fx", a / b }')
    printf '  %-28s %10s %10s %9s %12.1f  %s\n' "$1" "$ms_per" "$ratio" "$peak_mb" \
        "$(awk -v b="$out_bytes" 'BEGIN { print b / 1e6 }')" "$note"
}

# run_job TITLE SRC_DIR EXT CLI_ARGS... -- : the same crop by the three tools; geometry for the peers comes from
# crop_geometry FILE, which prints "left top width height".
run_job() {
    local title=$1 src=$2 ext=$3 geometry=$4 imq=$5 vipsq=$6
    shift 6
    local n
    n=$(find -L "$src" -maxdepth 1 -type f | wc -l)
    report_header "$title ($n files from $src)"
    # Ratios are against the default run (two images in flight on two cores).
    for jobs in 2 1; do
        measure cli "$n" "$WORK/out/cli$jobs" "$CLI" "$src" -o "$WORK/out/cli$jobs" --overwrite yes -j "$jobs" "$@"
        [[ $jobs == 2 ]] && cli_ms=$ms_per
        report_row "trimlark-cli, $jobs in flight"
    done
    local list=$WORK/list.txt
    : >"$list"
    for f in "$src"/*; do
        echo "$f $($geometry "$f")" >>"$list"
    done
    # shellcheck disable=SC2016 # the loops expand their own variables
    measure convert "$n" "$WORK/out/im" bash -c '
        while read -r f l t w h; do
            b=$(basename "${f%.*}")
            # shellcheck disable=SC2086 # the quality option is one or no word
            "$CONVERT" "$f" -crop "${w}x${h}+${l}+${t}" +repage $3 "$0/$b.$2" || exit 1
        done <"$1"' "$WORK/out/im" "$list" "$ext" "$imq"
    report_row "ImageMagick convert per file"
    local im_bytes=$out_bytes
    # shellcheck disable=SC2016
    measure vips "$n" "$WORK/out/vips" bash -c '
        while read -r f l t w h; do
            b=$(basename "${f%.*}")
            "$VIPS" crop "$f" "$0/$b.$2$3" "$l" "$t" "$w" "$h" || exit 1
        done <"$1"' "$WORK/out/vips" "$list" "$ext" "$vipsq"
    report_row "vips per file"
    local cli_bytes
    cli_bytes=$(du -sb "$WORK/out/cli2" | cut -f1)
    awk -v c="$cli_bytes" -v m="$im_bytes" 'BEGIN { printf "  trimlark-cli output / ImageMagick output: %.2f\n", c / m }'
}

dims() { /usr/bin/vipsheader -f width "$1"; /usr/bin/vipsheader -f height "$1"; }

# Centred 1:1: the largest square in the middle.
square_geometry() {
    local w h s
    read -r w h < <(dims "$1" | paste -sd' ')
    s=$((w < h ? w : h))
    echo "$(((w - s) / 2)) $(((h - s) / 2)) $s $s"
}

# 20/20/60/60 percent from the bottom-left corner: 60 % of each side, 20 % in from the left and the bottom.
percent_geometry() {
    local w h cw ch
    read -r w h < <(dims "$1" | paste -sd' ')
    cw=$((w * 60 / 100)) ch=$((h * 60 / 100))
    echo "$((w * 20 / 100)) $((h - h * 20 / 100 - ch)) $cw $ch"
}

make_corpus
make_big
mkdir -p "$WORK/out"
echo "trimlark-cli: $CLI ($("$CLI" --version)); $(nproc) cores; load $(cut -d' ' -f1-3 /proc/loadavg)"

run_job "Centred 1:1 to JPEG quality 80, metadata kept" "$jpegs" jpg square_geometry "-quality 80" "[Q=80]" \
    --crop auto:1:1 -f jpg -q 80 --keep-metadata
run_job "20/20/60/60 percent to PNG" "$jpegs" png percent_geometry "" "" \
    --crop percents:20,20,60,60 -f png
run_job "20/20/60/60 percent to PNG, RGBA sources" "$pngs" png percent_geometry "" "" \
    --crop percents:20,20,60,60 -f png

if [[ $BIG == 1 ]]; then
    bigdir=$WORK/bigsrc && mkdir -p "$bigdir" && ln -sf "$big" "$bigdir/big.jpg"
    run_job "100 MP JPEG, centred 1:1 to JPEG quality 80" "$bigdir" jpg square_geometry "-quality 80" "[Q=80]" \
        --crop auto:1:1 -f jpg -q 80 --keep-metadata
fi

if [[ $FLAT == 1 ]]; then
    printf '\nPeak memory over the length of the list (links to the same %s files)\n' "$COUNT"
    for n in 10 200; do
        list=$WORK/flat$n && rm -rf "$list" && mkdir -p "$list"
        files=("$jpegs"/*)
        for i in $(seq 1 "$n"); do
            ln -s "${files[$(( (i - 1) % ${#files[@]} ))]}" "$list/$(printf 'f%04d.jpg' "$i")"
        done
        measure cli "$n" "$WORK/out/flat" "$CLI" "$list" -o "$WORK/out/flat" --overwrite yes --crop auto:1:1 -q 80
        printf '  %4d images: %s ms/image, peak %s MB %s\n' "$n" "$ms_per" "$peak_mb" "$note"
    done
fi
