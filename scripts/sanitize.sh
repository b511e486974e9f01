#!/usr/bin/env bash
# Builds a sanitizer tree and runs tests in it: scripts/sanitize.sh <sanitizers> [test target...]
# With no targets, the whole suite runs through ctest. BUILD_JOBS and TEST_JOBS (default: the number
# of cores) say how many compile and test processes run at once.
set -euo pipefail
cd "$(dirname "$0")/.."
sanitizers="$1"
shift
dir="build-${sanitizers//,/-}"
build_jobs="${BUILD_JOBS:-$(nproc)}"
test_jobs="${TEST_JOBS:-$(nproc)}"
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
export QT_QPA_PLATFORM=offscreen
# Every report ends the run with a failure; the suppressions name only code outside this project.
export ASAN_OPTIONS="abort_on_error=0:halt_on_error=1:detect_leaks=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARUVEDEZ_SANITIZE="$sanitizers" >/dev/null
if (($#)); then
  cmake --build "$dir" -j "$build_jobs" --target "$@"
  for t in "$@"; do
    echo "== $t ($sanitizers)"
    "$dir/bin/$t"
  done
else
  cmake --build "$dir" -j "$build_jobs"
  if ! ctest --test-dir "$dir" --output-on-failure -j "$test_jobs" --timeout 900; then
    # LeakSanitizer stops every thread with a tracer process of its own before it looks for leaks; on
    # a busy machine that tracer can fail by itself, after the test has passed and before any leak is
    # looked at. Such a test is run once more, alone, and counts by that run; any other failure stands.
    log="$dir/Testing/Temporary/LastTest.log"
    mapfile -t failed < <(sed -n 's/^\([0-9]*\):.*/\1/p' "$dir/Testing/Temporary/LastTestsFailed.log")
    mapfile -t tracer < <(scripts/ctest-failures.py "$log" --tracer)
    if ((${#failed[@]} == 0 || ${#failed[@]} != ${#tracer[@]})); then
      echo "sanitizers $sanitizers: failures"
      exit 1
    fi
    cp "$log" "$dir/Testing/Temporary/TracerFailures.log"
    for n in "${tracer[@]}"; do
      echo "== test #$n failed only in LeakSanitizer's tracer; running it again"
      ctest --test-dir "$dir" --output-on-failure -I "$n,$n" --timeout 900
    done
  fi
fi
echo "sanitizers $sanitizers: clean"
