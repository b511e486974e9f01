#!/usr/bin/env bash
# Builds a sanitizer tree and runs tests in it: scripts/sanitize.sh <sanitizers> [test target...]
# With no targets, the whole suite runs through ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
sanitizers="$1"
shift
dir="build-${sanitizers//,/-}"
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
export QT_QPA_PLATFORM=offscreen
# Every report ends the run with a failure; the suppressions name only code outside this project.
export ASAN_OPTIONS="abort_on_error=0:halt_on_error=1:detect_leaks=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARUVEDEZ_SANITIZE="$sanitizers" >/dev/null
if (($#)); then
  cmake --build "$dir" -j "$(nproc)" --target "$@"
  for t in "$@"; do
    echo "== $t ($sanitizers)"
    "$dir/bin/$t"
  done
else
  cmake --build "$dir" -j "$(nproc)"
  ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 900
fi
echo "sanitizers $sanitizers: clean"
