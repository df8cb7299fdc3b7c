#!/usr/bin/env bash
# The same crops by trimlark-cli and by its peers, round after round with the tools interleaved, one table per
# job: median ms per image, each tool's time over trimlark-cli's, peak memory, output size and CPU time per
# image (user + system, all threads and processes; steadier than the clock when other work shares the cores).
#
#   bench/compare.sh                                  # the full run (corpus made once, several minutes)
#   COUNT=2 ROUNDS=1 BIG=0 bench/compare.sh           # a quick look
#
# Jobs: (1) centred 1:1 to JPEG quality 80 with metadata, on COUNT photos of WIDTH x HEIGHT with EXIF; (2) the
# same photos 20/20/60/60 percent to PNG; (3) one 100 MP JPEG centred 1:1 to JPEG (BIG=0 leaves it out); (4) one
# photo stored sideways (EXIF orientation 6) centred 1:1 to JPEG, beside trimlark-cli on the same photo upright;
# (5) job 1's photos scaled to exactly 1080 x 1080, centred, to JPEG quality 80.
# Tools: trimlark-cli with 2 images in flight; ImageMagick convert, GraphicsMagick gm convert and the vips tool,
# one process per file (PEER_JOBS at once, default 1); vips_loop, a bare libvips loop with 2 images in flight
# (bench/vips_loop.cpp, built here when missing); the codec floor: each source's full decode alone plus the
# encode of its kept region alone, one at a time on one thread, and that halved for two cores. Job 5 has its own
# tools: trimlark-cli --size, vipsthumbnail over all the files in one process, ImageMagick's resize and extent per
# file, the bare loop's thumbnails (vips_loop thumb), and a floor of the decode at the JPEG scale trimlark-cli
# takes (1/2, 1/4 or 1/8; vips_loop thumb-floor) plus the encode of the output.
# A tool that exits with an error, or leaves an output missing or of the wrong size, shows FAILED.
#
# Knobs (environment): COUNT (default 6), WIDTH, HEIGHT (6000 x 4000), ROUNDS (3), BIG (1), ONLY (the jobs to
# run, default "1 2 3 4 5"; empty: only make the pictures), PEER_JOBS, WORK (corpus and outputs, default /tmp/trimlark-compare, kept between runs
# so the corpus is made once), BUILD (default build/), CLI (default $BUILD/src/cli/trimlark-cli), LOOP.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
COUNT=${COUNT:-6}
WIDTH=${WIDTH:-6000}
HEIGHT=${HEIGHT:-4000}
ROUNDS=${ROUNDS:-3}
BIG=${BIG:-1}
ONLY=${ONLY-1 2 3 4 5}
PEER_JOBS=${PEER_JOBS:-1}
WORK=${WORK:-/tmp/trimlark-compare}
BUILD=${BUILD:-$here/build}
CLI=${CLI:-$BUILD/src/cli/trimlark-cli}
LOOP=${LOOP:-$BUILD/tests/imaging/vips_loop}
VIPS=/usr/bin/vips # other tools of these names may come first on the PATH
TIME=/usr/bin/time

[[ -x $LOOP ]] || cmake --build "$BUILD" --target vips_loop >&2
for tool in "$CLI" "$LOOP" /usr/bin/convert /usr/bin/gm "$VIPS" /usr/bin/vipsheader /usr/bin/vipsthumbnail "$TIME" \
    /usr/bin/exiftool; do
    [[ -x $tool ]] || { echo "missing: $tool" >&2; exit 2; }
done

. "$here/bench/corpus.sh"

# Two runs in one folder would overwrite each other's outputs (and time each other).
mkdir -p "$WORK"
exec 9>"$WORK/lock"
flock -n 9 || { echo "another bench/compare.sh is using $WORK" >&2; exit 2; }

photos=$WORK/photos-${WIDTH}x${HEIGHT}-$COUNT
if [[ ! -f $photos.done ]]; then
    echo "Making $COUNT photos in $photos (once)..." >&2
    rm -rf "$photos" && make_photos "$photos" "$COUNT" "$WIDTH" "$HEIGHT" && touch "$photos.done"
fi
big=$WORK/big/big.jpg
if [[ $BIG == 1 && ! -f $big ]]; then
    echo "Making the 100 MP JPEG (once)..." >&2
    mkdir -p "$WORK/big" && make_big_photo "$big"
fi
sideways=$WORK/sideways-${WIDTH}x${HEIGHT}/side.jpg
if [[ ! -f $sideways ]]; then
    mkdir -p "$(dirname "$sideways")"
    cp "$(find "$photos" -name '*.jpg' | sort | head -1)" "$sideways.tmp"
    /usr/bin/exiftool -q -n -overwrite_original -Orientation=6 "$sideways.tmp"
    mv "$sideways.tmp" "$sideways"
fi
# The same photo stored upright, under the same name: trimlark-cli's time for it is job 4's yardstick.
upright=$WORK/upright-${WIDTH}x${HEIGHT}/side.jpg
if [[ ! -f $upright ]]; then
    mkdir -p "$(dirname "$upright")"
    cp "$(find "$photos" -name '*.jpg' | sort | head -1)" "$upright"
fi

# upright_size FILE: "width height" as the picture is shown (turned by its EXIF orientation).
upright_size() {
    local w h o
    w=$(/usr/bin/vipsheader -f width "$1")
    h=$(/usr/bin/vipsheader -f height "$1")
    o=$(/usr/bin/vipsheader -f orientation "$1" 2>/dev/null || echo 1)
    if ((o >= 5 && o <= 8)); then echo "$h $w"; else echo "$w $h"; fi
}

# Geometries print "left top width height" in the upright picture. Centred 1:1: the largest middle square.
square_geometry() {
    local w h s
    read -r w h < <(upright_size "$1")
    s=$((w < h ? w : h))
    echo "$(((w - s) / 2)) $(((h - s) / 2)) $s $s"
}

# Job 5's lines carry the output's size: the whole picture is the source, scaled to fill 1080 x 1080 and cut
# around its centre.
exact_geometry() { echo "0 0 1080 1080"; }

# 20/20/60/60 percent from the bottom-left corner: 60 % of each side, 20 % in from the left and the bottom.
percent_geometry() {
    local w h cw ch
    read -r w h < <(upright_size "$1")
    cw=$((w * 60 / 100)) ch=$((h * 60 / 100))
    echo "$((w * 20 / 100)) $((h - h * 20 / 100 - ch)) $cw $ch"
}

# One peer process for one line of the list ("path left top width height"); OUT, EXT, Q and PEER set by run_tool.
# imsize scales the picture to fill width x height and cuts that around its centre.
# shellcheck disable=SC2016 # expanded by the inner shell
per_file='f=$1 l=$2 t=$3 w=$4 h=$5
b=$(basename "${f%.*}")
case $PEER in
im) exec /usr/bin/convert "$f" -auto-orient -crop "${w}x${h}+${l}+${t}" +repage ${Q:+-quality $Q} "$OUT/$b.$EXT" ;;
gm) exec /usr/bin/gm convert "$f" -auto-orient -crop "${w}x${h}+${l}+${t}" +repage ${Q:+-quality $Q} "$OUT/$b.$EXT" ;;
imsize) exec /usr/bin/convert "$f" -resize "${w}x${h}^" -gravity center -extent "${w}x${h}" ${Q:+-quality $Q} \
    "$OUT/$b.$EXT" ;;
vips) exec /usr/bin/vips crop "$f[autorotate=true]" "$OUT/$b.$EXT${Q:+[Q=$Q]}" "$l" "$t" "$w" "$h" ;;
esac'

tools=(cli im gm vips loop floor)
declare -A label=(
    [cli]="trimlark-cli, its default" [im]="ImageMagick convert per file" [gm]="GraphicsMagick gm per file"
    [vips]="vips crop per file" [loop]="bare libvips loop, 2 in flight" [floor]="codec floor, one core"
    [upright]="trimlark-cli, the photo upright" [thumb]="vipsthumbnail, one process"
    [imsize]="ImageMagick convert per file")
# The bare loop's and the floor's modes (vips_loop): the crop jobs', or job 5's thumbnails.
loop_mode=crop floor_mode=floor decode_label="full decode alone, one core"

# run_tool TOOL: one timed run of the current job; appends ms per image and peak KiB to the tool's results, or
# a failure note.
run_tool() {
    local tool=$1 out=$WORK/out/$1 res=$WORK/results/$1
    rm -rf "$out" && mkdir -p "$out"
    local status=0 start end
    start=$(date +%s%N)
    case $tool in
    cli | upright)
        local from=$src
        [[ $tool == upright ]] && from=$(dirname "$upright")
        $TIME -f "%M %U %S" -o "$res.rss" "$CLI" "$from" -o "$out" -n "[FileName]" --overwrite yes "${cli_args[@]}" \
            >"$res.log" 2>&1 || status=$? ;;
    thumb)
        local f files=()
        while read -r f _; do files+=("$f"); done <"$list"
        read -r _ _ _ w h <"$list"
        $TIME -f "%M %U %S" -o "$res.rss" /usr/bin/vipsthumbnail --size "${w}x$h" --smartcrop centre \
            -o "$out/%s.$ext${quality:+[Q=$quality]}" "${files[@]}" >"$res.log" 2>&1 || status=$? ;;
    im | gm | vips | imsize) PEER=$tool OUT=$out EXT=$ext Q=$quality $TIME -f "%M %U %S" -o "$res.rss" \
        xargs -P "$PEER_JOBS" -L 1 bash -c "$per_file" _ <"$list" >"$res.log" 2>&1 || status=$? ;;
    loop) $TIME -f "%M %U %S" -o "$res.rss" "$LOOP" "$loop_mode" "$list" "$out" "$ext" "${quality:-80}" 1 2 \
        >"$res.log" 2>&1 || status=$? ;;
    floor) "$LOOP" "$floor_mode" "$list" "$out" "$ext" "${quality:-80}" 1 >"$res.log" 2>&1 || status=$? ;;
    esac
    end=$(date +%s%N)
    if [[ $status != 0 ]]; then
        echo "exit $status: $(grep -v '^Command exited' "$res.log" | tail -1 | cut -c1-100)" >"$res.fail"
        return
    fi
    local f w h made got
    while read -r f _ _ w h; do
        made=$out/$(basename "${f%.*}").$ext
        if [[ ! -s $made ]]; then
            echo "$(basename "$made") missing or empty" >"$res.fail"
            return
        fi
        got=$(/usr/bin/vipsheader "$made" 2>&1 | head -1 | sed 's/^.*: //')
        if [[ $got != "${w}x$h "* ]]; then
            echo "$(basename "$made"): ${got:0:60}, not ${w}x$h" >"$res.fail"
            return
        fi
    done <"$list"
    if [[ $tool == floor ]]; then
        awk -v n="$n" '{ printf "%.1f\n", ($1 + $2) / n }' "$res.log" >>"$res.ms"
        awk -v n="$n" '{ printf "%.1f\n", $1 / n }' "$res.log" >>"$res.decode"
    else
        awk -v s="$start" -v e="$end" -v n="$n" 'BEGIN { printf "%.1f\n", (e - s) / 1e6 / n }' >>"$res.ms"
        local kb user sys
        read -r kb user sys <"$res.rss"
        echo "$kb" >>"$res.kb"
        awk -v u="$user" -v s="$sys" -v n="$n" 'BEGIN { printf "%.1f\n", (u + s) * 1000 / n }' >>"$res.cpu"
    fi
    du -sb "$out" | cut -f1 >"$res.bytes"
}

median() { [[ -f $1 ]] || return 0; sort -n "$1" | awk '{ a[NR] = $1 } END { if (NR) print a[int((NR + 1) / 2)] }'; }

# run_job TITLE SOURCE EXT QUALITY GEOMETRY CLI_ARGS...
run_job() {
    local title=$1
    src=$2 ext=$3 quality=$4
    local geometry=$5
    shift 5
    cli_args=("$@")
    list=$WORK/list.txt
    : >"$list"
    local f
    for f in "$src"/*; do
        echo "$f $($geometry "$f")" >>"$list"
    done
    n=$(wc -l <"$list")
    rm -rf "$WORK/results" && mkdir -p "$WORK/results"
    local round i
    for round in $(seq 0 $((ROUNDS - 1))); do
        for i in "${!tools[@]}"; do # each round starts one tool later
            local tool=${tools[$(((i + round) % ${#tools[@]}))]}
            [[ -f $WORK/results/$tool.fail ]] || run_tool "$tool"
        done
    done

    printf '\n%s: %s file(s) from %s, %s round(s), median\n' "$title" "$n" "$src" "$ROUNDS"
    printf '  %-34s %9s %8s %8s %10s %10s\n' tool "ms/image" "vs cli" "peak MB" "output MB" "CPU ms/im"
    local cli_ms
    cli_ms=$(median "$WORK/results/cli.ms")
    declare -gA ms=() cpu_ms=()
    for tool in "${tools[@]}"; do
        local res=$WORK/results/$tool
        if [[ -f $res.fail ]]; then
            printf '  %-34s %9s  %s\n' "${label[$tool]}" FAILED "$(cat "$res.fail")"
            ms[$tool]=""
            continue
        fi
        ms[$tool]=$(median "$res.ms")
        local peak="-" cpu="-"
        [[ -f $res.kb ]] && peak=$(awk '$1 > m { m = $1 } END { printf "%.0f", m / 1024 }' "$res.kb")
        [[ -f $res.cpu ]] && cpu_ms[$tool]=$(median "$res.cpu") && cpu=$(printf '%.0f' "${cpu_ms[$tool]}")
        printf '  %-34s %9.0f %8s %8s %10.1f %10s\n' "${label[$tool]}" "${ms[$tool]}" \
            "$(ratio "${ms[$tool]}" "$cli_ms")" "$peak" "$(awk -v b="$(cat "$res.bytes")" 'BEGIN { print b / 1e6 }')" "$cpu"
        if [[ $tool == floor ]]; then
            ms[floor2]=$(awk -v m="${ms[floor]}" 'BEGIN { print m / 2 }')
            printf '  %-34s %9.0f %8s %8s %10s\n' "codec floor, two cores (half)" "${ms[floor2]}" \
                "$(ratio "${ms[floor2]}" "$cli_ms")" "-" "-"
            ms[decode]=$(median "$res.decode")
            printf '  %-34s %9.0f %8s %8s %10s\n' "$decode_label" "${ms[decode]}" \
                "$(ratio "${ms[decode]}" "$cli_ms")" "-" "-"
        fi
    done
}

# ratio A B: "A/B x", or "-" when either is missing.
# peak_mb TOOL: the tool's largest peak over the rounds, in MB.
peak_mb() { awk '$1 > m { m = $1 } END { if (NR) printf "%.0f", m / 1024 }' "$WORK/results/$1.kb" 2>/dev/null; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b == "" || b == 0) print "-"; else printf "%.2fx\n", a / b }'; }

jpeg_summary() {
    [[ -n ${ms[cli]} ]] || return 0
    printf '  trimlark-cli / codec floor (two cores): %s; trimlark-cli / bare libvips loop: %s (CPU time: %s); trimlark-cli / full decode alone: %s\n' \
        "$(ratio "${ms[cli]}" "${ms[floor2]:-}")" "$(ratio "${ms[cli]}" "${ms[loop]}")" \
        "$(ratio "${cpu_ms[cli]:-}" "${cpu_ms[loop]:-}")" "$(ratio "${ms[cli]}" "${ms[decode]:-}")"
}

echo "$(date -u '+%Y-%m-%d %H:%M UTC'); $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'); load at start $(cut -d' ' -f1-3 /proc/loadavg)"
echo "trimlark-cli $("$CLI" --version | tail -1); libvips $($VIPS --version | cut -d- -f2); $(/usr/bin/convert -version | head -1 | cut -d' ' -f2-3); $(/usr/bin/gm version | head -1 | cut -d' ' -f1-2); peers $PEER_JOBS at once"
mkdir -p "$WORK/out"

for job in $ONLY; do
    case $job in
    1)
        run_job "1. Centred 1:1 to JPEG quality 80, metadata kept" "$photos" jpg 80 square_geometry \
            --crop auto:1:1 -f jpg -q 80 --keep-metadata
        jpeg_summary ;;
    2)
        run_job "2. 20/20/60/60 percent to PNG" "$photos" png "" percent_geometry \
            --crop percents:20,20,60,60 -f png
        if [[ -n ${ms[cli]} && -n ${ms[im]} ]]; then
            printf '  ImageMagick time / trimlark-cli time: %s; trimlark-cli bytes / ImageMagick bytes: %s\n' \
                "$(ratio "${ms[im]}" "${ms[cli]}")" \
                "$(ratio "$(cat "$WORK/results/cli.bytes")" "$(cat "$WORK/results/im.bytes")")"
        fi ;;
    3)
        [[ $BIG == 1 ]] || continue
        run_job "3. One 100 MP JPEG, centred 1:1 to JPEG quality 80" "$(dirname "$big")" jpg 80 square_geometry \
            --crop auto:1:1 -f jpg -q 80 --keep-metadata
        jpeg_summary ;;
    4)
        tools+=(upright)
        run_job "4. One ${WIDTH} x ${HEIGHT} JPEG stored sideways (EXIF orientation 6), centred 1:1 to JPEG quality 80" \
            "$(dirname "$sideways")" jpg 80 square_geometry --crop auto:1:1 -f jpg -q 80 --keep-metadata
        jpeg_summary
        printf '  trimlark-cli sideways / upright: %s (peak memory %s MB)\n' "$(ratio "${ms[cli]}" "${ms[upright]}")" \
            "$(awk '$1 > m { m = $1 } END { printf "%.0f", m / 1024 }' "$WORK/results/cli.kb")"
        unset 'tools[-1]' ;;
    5)
        crop_tools=("${tools[@]}")
        tools=(cli thumb imsize loop floor) loop_mode=thumb floor_mode=thumb-floor
        decode_label="decode at 1/N alone, one core"
        run_job "5. Exactly 1080 x 1080, centred, to JPEG quality 80" "$photos" jpg 80 exact_geometry \
            --size 1080x1080 -q 80
        if [[ -n ${ms[cli]} ]]; then
            printf '  trimlark-cli / vipsthumbnail: %s; ImageMagick / trimlark-cli: %s; peak MB trimlark-cli / bare libvips loop: %s / %s\n' \
                "$(ratio "${ms[cli]}" "${ms[thumb]}")" "$(ratio "${ms[imsize]}" "${ms[cli]}")" "$(peak_mb cli)" \
                "$(peak_mb loop)"
            printf '  trimlark-cli / codec floor (two cores): %s; trimlark-cli / bare libvips loop: %s (CPU time: %s)\n' \
                "$(ratio "${ms[cli]}" "${ms[floor2]:-}")" "$(ratio "${ms[cli]}" "${ms[loop]}")" \
                "$(ratio "${cpu_ms[cli]:-}" "${cpu_ms[loop]:-}")"
        fi
        tools=("${crop_tools[@]}") loop_mode=crop floor_mode=floor decode_label="full decode alone, one core" ;;
    esac
done
echo
echo "load at the end $(cut -d' ' -f1-3 /proc/loadavg)"
