#!/usr/bin/env bash
# Installs what is missing, builds the desktop app (only its own target), and starts it with any files given.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TRIMLARK_BUILD_DIR:-$root/build}
app="$build/src/app/trimlark"
display=yes
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  display=
  # Said before the build, which takes a while, so that nobody waits for a window that cannot open.
  echo "There is no display here (neither DISPLAY nor WAYLAND_DISPLAY is set): the app is built but not started."
fi
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}"
cmake --build "$build" --parallel "$(nproc)" --target trimlark
if [ -z "$display" ]; then
  echo "Start it under a virtual display with: xvfb-run -a $app"
  echo "or build the command-line tool (cmake --build $build --target trimlark-cli) and crop from the terminal."
  exit 1
fi
exec "$app" "$@"
