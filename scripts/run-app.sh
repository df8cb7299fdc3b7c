#!/usr/bin/env bash
# Installs what is missing, builds, and starts the desktop app with any files given.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TRIMLARK_BUILD_DIR:-$root/build}
"$root/scripts/build.sh"
app="$build/src/app/trimlark"
if [ ! -x "$app" ]; then
  echo "The desktop app is not built yet; the command-line tool is at $build/src/cli/trimlark-cli."
  exit 0
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "There is no display here (neither DISPLAY nor WAYLAND_DISPLAY is set)."
  echo "Start it under a virtual one with: xvfb-run -a $app"
  echo "or crop from the terminal with: $build/src/cli/trimlark-cli --help"
  exit 1
fi
exec "$app" "$@"
