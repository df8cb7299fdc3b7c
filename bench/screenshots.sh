#!/usr/bin/env bash
# Takes the README's screenshots of the main window anew, under a virtual display (xvfb-run), with pictures made
# here by ImageMagick: docs/screenshot-{empty,selected,subject,lossless,size,drag,grid,run-report}.png, and a filled product
# picture as a run writes it (docs/filled-product.jpg).
#
#   bench/screenshots.sh            # builds app_demo in build/ first
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
cmake --build "$build" --target app_demo trimlark-cli >/dev/null
demo="$build/tests/app/app_demo"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert=/usr/bin/convert
# A landscape "photo" with EXIF, a portrait one, a sky with a red balloon at the left, and a text file.
"$convert" -size 3000x2000 -seed 7 plasma:fractal -blur 0x3 -quality 90 "$work/landscape.jpg"
"$convert" -size 2000x3000 -seed 3 plasma:fractal -blur 0x3 -quality 90 "$work/portrait.jpg"
"$convert" -size 3000x2000 gradient:skyblue-white -fill red -draw "circle 600,900 600,1150" \
    -fill white -draw "line 600,1150 640,1700" -quality 90 "$work/balloon.jpg"
echo "no picture" >"$work/notes.jpg"
# A product on a pale backdrop, wider than tall, off-centre.
"$convert" -size 3000x2000 gradient:white-gray88 -fill '#2f6fbf' -draw "roundrectangle 1300,500 2300,1500 80,80" \
    -fill '#f2b233' -draw "circle 1800,1000 1800,1250" -quality 92 "$work/product.jpg"

shot() { # name, then environment and files for app_demo
    local name=$1
    shift
    SHOT="$work/$name.png" xvfb-run -a -s "-screen 0 1366x768x24" bash -c '
        env "$@" & pid=$!
        sleep 4
        /usr/bin/import -window root "$SHOT"
        kill $pid' _ "$@" 2>/dev/null
    # The window takes the screen's top-left 1320 x 680 pixels (no window manager draws a frame).
    "$convert" "$work/$name.png" -crop 1320x680+0+0 +repage "$root/docs/$name.png"
}
shot screenshot-empty "$demo"
shot screenshot-selected "$demo" "$work/landscape.jpg" "$work/portrait.jpg"
shot screenshot-subject APP_DEMO_POSITION=1 "$demo" "$work/balloon.jpg"
shot screenshot-lossless APP_DEMO_TAB=1 APP_DEMO_CLICK=checkLosslessJpeg "$demo" "$work/landscape.jpg"
shot screenshot-size APP_DEMO_TAB=1 APP_DEMO_SIZE=2,1200,800,#ffffff "$demo" "$work/product.jpg"
# The list as thumbnails, the portrait's and the balloon's crops adjusted by hand, and a file that is no picture.
shot screenshot-drag APP_DEMO_DRAG=-0.12 "$demo" "$work/balloon.jpg"
shot screenshot-grid APP_DEMO_GRID=1 APP_DEMO_ADJUST=1,2 "$demo" "$work/landscape.jpg" "$work/portrait.jpg" \
    "$work/balloon.jpg" "$work/product.jpg" "$work/notes.jpg"
# The product picture as a run writes it: fitted within 1200 x 1200 on white, shown at a third of its size.
"$build/src/cli/trimlark-cli" -o "$work/fitted" -n product --crop pixels:1000,350,1800,1300 --corner top-left \
    --fit 1200x1200 --fill '#dde6f0' -f png "$work/product.jpg" >/dev/null
"$convert" "$work/fitted/product (1).png" -resize 400x400 -quality 90 "$root/docs/filled-product.jpg"
# A white page scanned on a grey lid, its frame uneven, with some noise, and the same scan trimmed by a run.
"$convert" -size 1700x2200 xc:'#c9c5bc' -fill '#fbfaf7' -draw "rectangle 140,190 1580,2060" -fill '#333333' \
    -draw "rectangle 260,330 1460,420" -draw "rectangle 260,520 1300,560" -draw "rectangle 260,620 1400,660" \
    -attenuate 0.4 +noise Gaussian -quality 88 "$work/scan.jpg"
"$build/src/cli/trimlark-cli" -o "$work/trimmed" -n scan --crop trim -f jpg "$work/scan.jpg" >/dev/null
"$convert" "$work/scan.jpg" -resize x330 -quality 85 "$root/docs/scan-before.jpg"
"$convert" "$work/trimmed/scan (1).jpg" -resize x330 -quality 85 "$root/docs/scan-after.jpg"
mkdir -p "$work/out"
shot screenshot-run-report APP_DEMO_RUN="$work/out" "$demo" "$work/landscape.jpg" "$work/notes.jpg"
echo "written: $root/docs/screenshot-*.png"
