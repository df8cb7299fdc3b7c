# shellcheck shell=bash
# Test pictures for the benchmarks, made with the vips command-line tool from fixed seeds, so every run of a
# script times the same files. Sourced by bench/cli_bench.sh and bench/compare.sh; needs VIPS set.

# make_photos DIR COUNT WIDTH HEIGHT: COUNT JPEGs (quality 92) named img<N>.jpg. Detail at several scales (Perlin
# noise of three cell sizes, one per band) plus sensor-like grain, shifted per image so no two files are alike;
# EXIF with camera, date, GPS and a thumbnail.
make_photos() {
    local dir=$1 count=$2 width=$3 height=$4
    local t=$dir.tmp
    rm -rf "$t" && mkdir -p "$t" "$dir"
    $VIPS perlin "$t/r.v" "$width" "$height" --cell-size 640 --seed 1
    $VIPS perlin "$t/g.v" "$width" "$height" --cell-size 160 --seed 2
    $VIPS perlin "$t/b.v" "$width" "$height" --cell-size 40 --seed 3
    $VIPS bandjoin "$t/r.v $t/g.v $t/b.v" "$t/rgb.v"
    $VIPS linear "$t/rgb.v" "$t/base.v" 120 128
    for i in $(seq -w 1 "$count"); do
        $VIPS wrap "$t/base.v" "$t/w.v" --x $((10#$i * 331)) --y $((10#$i * 173))
        $VIPS gaussnoise "$t/n.v" "$width" "$height" --sigma 14 --mean 0 --seed "$((10#$i))"
        $VIPS add "$t/w.v" "$t/n.v" "$t/s.v"
        $VIPS cast "$t/s.v" "$dir/img$i.jpg[Q=92]" uchar
    done
    $VIPS thumbnail "$dir/img$(printf "%0${#count}d" 1).jpg" "$t/thumb.jpg" 160
    /usr/bin/exiftool -q -overwrite_original -Make=Bench -Model="Bench One" -DateTimeOriginal="2024:05:06 07:08:09" \
        -GPSLatitude=48.8584 -GPSLatitudeRef=N -GPSLongitude=2.2945 -GPSLongitudeRef=E -GPSAltitude=35 \
        "-ThumbnailImage<=$t/thumb.jpg" "$dir"
    rm -rf "$t"
}

# make_big_photo FILE: one JPEG of 12248 x 8165 (100 MP, quality 90), grey Perlin noise with grain.
make_big_photo() {
    local big=$1
    local t=$big.tmp
    rm -rf "$t" && mkdir -p "$t"
    $VIPS perlin "$t/p.v" 12248 8165 --cell-size 300 --uchar --seed 5
    $VIPS bandjoin "$t/p.v $t/p.v $t/p.v" "$t/rgb.v"
    $VIPS gaussnoise "$t/n.v" 12248 8165 --sigma 10 --mean 0 --seed 7
    $VIPS add "$t/rgb.v" "$t/n.v" "$t/s.v"
    $VIPS cast "$t/s.v" "${big}[Q=90]" uchar
    rm -rf "$t"
}
