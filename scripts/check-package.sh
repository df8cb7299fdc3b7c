#!/usr/bin/env bash
# Checks a built trimlark .deb: its name and fields carry the version; it holds exactly the files a user needs;
# its Depends (written by dpkg-shlibdeps) name the package of every library its binaries load; unpacked into a
# throwaway folder, the CLI runs, the man pages render, the desktop file and AppStream metadata validate and bash
# completes the CLI's options; lintian reports no error or warning but the tags named below.
# With --install it then installs the package with apt-get, checks the installed commands, man pages and
# completion, and removes the package again.
# Usage: check-package.sh [--install] DEB VERSION
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
install=0
if [ "${1:-}" = --install ]; then
  install=1
  shift
fi
[ $# -eq 2 ] || { echo "usage: $0 [--install] DEB VERSION" >&2; exit 2; }
deb=$(realpath "$1") version=$2
arch=$(dpkg --print-architecture)
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
step() { echo "== $*"; }

[ -f "$deb" ] || { echo "FAIL: no package $1" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

step "name and fields"
[ "$(basename "$deb")" = "trimlark_${version}_${arch}.deb" ] || fail "file name $(basename "$deb")"
for field in Package:trimlark "Version:$version" "Architecture:$arch"; do
  got=$(dpkg-deb -f "$deb" "${field%%:*}")
  [ "$got" = "${field#*:}" ] || fail "${field%%:*} is '$got', not '${field#*:}'"
done
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes, installed size $(dpkg-deb -f "$deb" Installed-Size) KiB"

step "contents"
expected="./usr/bin/trimlark
./usr/bin/trimlark-cli
./usr/share/applications/org.trimlark.Trimlark.desktop
./usr/share/bash-completion/completions/trimlark-cli
./usr/share/icons/hicolor/scalable/apps/org.trimlark.Trimlark.svg
./usr/share/man/man1/trimlark-cli.1.gz
./usr/share/man/man1/trimlark.1.gz
./usr/share/metainfo/org.trimlark.Trimlark.metainfo.xml"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
if [ "$files" != "$expected" ]; then
  fail "the package's files differ from the expected ones (< expected, > package):"
  diff <(echo "$expected") <(echo "$files") >&2
fi
dpkg-deb -x "$deb" "$work/root"

step "dependencies"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
[ -n "$depends" ] || fail "no Depends field"
depended=$(tr ',|' '\n\n' <<<"$depends" | sed -E 's/\(.*\)//; s/[[:space:]]//g' | sort -u)
# Qt's SVG icon engine, a plugin no binary links, draws the app's icons.
grep -qxF libqt6svg6 <<<"$depended" || fail "libqt6svg6 (the SVG icon engine) is not in Depends"
# xdg-open opens the output folder from the run report.
grep -qxF xdg-utils <<<"$depended" || fail "xdg-utils (xdg-open) is not in Depends"
for binary in "$work"/root/usr/bin/*; do
  file -b "$binary" | grep -q 'ELF.*, stripped' || fail "$(basename "$binary") is not a stripped ELF executable"
  for soname in $(readelf -d "$binary" | sed -nE 's/.*\(NEEDED\).*\[(.*)\]/\1/p'); do
    path=$(ldconfig -p | awk -v so="$soname" '$1 == so && /x86-64|'"$arch"'/ { print $NF; exit }')
    [ -n "$path" ] || { fail "$(basename "$binary") needs $soname, which is not on this machine"; continue; }
    owner=$(dpkg -S "$(realpath "$path")" 2>/dev/null | head -1 | cut -d: -f1)
    [ -n "$owner" ] || owner=$(dpkg -S "$path" 2>/dev/null | head -1 | cut -d: -f1)
    grep -qxF "$owner" <<<"$depended" || fail "$(basename "$binary") needs $soname ($owner), not in Depends"
  done
done

step "unpacked files"
cli="$work/root/usr/bin/trimlark-cli"
got=$("$cli" --version) || fail "trimlark-cli --version failed"
[ "$got" = "trimlark-cli $version" ] || fail "trimlark-cli --version says '$got'"
man1="$work/root/usr/share/man/man1"
"$root/tests/package/man_test.sh" "$cli" "$version" "$man1/trimlark-cli.1.gz" "$man1/trimlark.1.gz" ||
  fail "man pages"
"$root/tests/package/validate_test.sh" "$work/root/usr/share/applications/org.trimlark.Trimlark.desktop" \
  "$work/root/usr/share/metainfo/org.trimlark.Trimlark.metainfo.xml" || fail "desktop file or metainfo"
"$root/tests/package/completion_test.sh" "$cli" "$work/root/usr/share/bash-completion/completions/trimlark-cli" ||
  fail "bash completion"

step "lintian"
# Left for now, each for its reason:
#   no-copyright-file: the project states no licence yet, so there is nothing true to write in one;
#   no-changelog: the project keeps its history in git, not in a Debian changelog.
lintian --fail-on error,warning --suppress-tags no-copyright-file,no-changelog "$deb" || fail "lintian"

if [ $install -eq 1 ]; then
  step "install with apt-get"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  if dpkg-query -W -f='${Status}' trimlark 2>/dev/null | grep -q 'install ok installed'; then
    echo "FAIL: trimlark is installed already; remove it first (apt-get remove trimlark)" >&2
    exit 1
  fi
  trap 'DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y trimlark >/dev/null; rm -rf "$work"' EXIT
  if DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "$deb"; then
    [ "$(command -v trimlark-cli)" = /usr/bin/trimlark-cli ] || fail "trimlark-cli is not /usr/bin/trimlark-cli"
    got=$(trimlark-cli --version) || fail "installed trimlark-cli --version failed"
    [ "$got" = "trimlark-cli $version" ] || fail "installed trimlark-cli --version says '$got'"
    echo "trimlark-cli --version: $got"
    for page in trimlark-cli trimlark; do
      [ "$(man -w "$page")" = "/usr/share/man/man1/$page.1.gz" ] || fail "man -w $page: $(man -w "$page" 2>&1)"
      echo "man $page: $(man -w "$page" 2>&1)"
    done
    MANWIDTH=200 man -P cat trimlark-cli 2>/dev/null | grep -q -- '--overwrite' ||
      fail "man trimlark-cli does not show --overwrite"
    # As an interactive shell finds it: bash-completion loads the file on the first completion of the command.
    loaded=$(bash -c 'source /usr/share/bash-completion/bash_completion; __load_completion trimlark-cli &&
                      complete -p trimlark-cli')
    [ "$loaded" = "complete -F _trimlark_cli trimlark-cli" ] || fail "bash-completion does not load trimlark-cli's"
    echo "bash-completion loads: $loaded"
    "$root/tests/package/completion_test.sh" /usr/bin/trimlark-cli \
      /usr/share/bash-completion/completions/trimlark-cli || fail "installed bash completion"
    "$root/tests/package/validate_test.sh" /usr/share/applications/org.trimlark.Trimlark.desktop \
      /usr/share/metainfo/org.trimlark.Trimlark.metainfo.xml || fail "installed desktop file or metainfo"
  else
    fail "apt-get install $deb"
  fi
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures package check(s) failed" >&2
  exit 1
fi
echo "package checks passed: $deb"
