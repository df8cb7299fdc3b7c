#!/usr/bin/env bash
# Builds the Debian package build-package/trimlark_<version>_<arch>.deb (a Release build without tests, then
# cpack -G DEB) and checks it with scripts/check-package.sh. With --install the check also installs the
# package with apt-get, tries the installed commands and removes the package again (needs root or sudo).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TRIMLARK_PACKAGE_BUILD_DIR:-$root/build-package}
install_check=()
case "${1:-}" in
  "") ;;
  --install) install_check=(--install) ;;
  *) echo "usage: $0 [--install]" >&2; exit 2 ;;
esac

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_INSTALL_PREFIX=/usr
cmake --build "$build" --parallel "$(nproc)"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$build/trimlark_${version}_$(dpkg --print-architecture).deb"
rm -f "$build"/trimlark_*.deb
(cd "$build" && cpack -G DEB)
"$root/scripts/check-package.sh" "${install_check[@]}" "$deb" "$version"
echo "Package: $deb"
