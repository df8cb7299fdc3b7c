#!/usr/bin/env bash
# Builds the sanitizer configuration (AddressSanitizer + UndefinedBehaviorSanitizer, build-sanitize/) and runs
# every test under it; any report fails the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
cd "$root"
cmake --preset sanitize
cmake --build --preset sanitize --parallel "$(nproc)"
# Leak checks are off: libx265 (the HEIF encoder) keeps its allocations until exit on purpose.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --preset sanitize --parallel "$(nproc)" --timeout 900
