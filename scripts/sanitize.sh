#!/usr/bin/env bash
# Builds a sanitizer tree and runs tests in it: scripts/sanitize.sh <sanitizers> [test program...]
# A program is named, or given as a folder of the tree ending in "/" (platform/, sdk/core/): every
# test program whose tests live under it, as tests/CMakeLists.txt defines them. Every program runs,
# also after one failed, and the script fails when any did. With no programs, the whole suite runs
# through ctest. BUILD_JOBS and TEST_JOBS (default: the number of cores) say how many compile and
# test processes run at once.
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
# ThreadSanitizer writes its reports into files, one per process, and scripts/tsan-reports.py judges
# them after each program: any report fails the run, also one of a child process whose exit status a
# test does not look at (one it kills, say) or of a program that exited 0, except the races Qt makes
# itself under locks ThreadSanitizer cannot see, which scripts/tsan-qt-races.txt names stack by stack
# (Qt is not instrumented); those are passed over and counted. So a report does not end the process,
# nor change its exit status. A QProcess child execs at once: a program may start threads after it
# forked one.
# A program named runs with a time limit, so that a hang fails within minutes, named with the test it
# hung in, instead of holding the run for good (scripts/run-limited.sh): PROGRAM_TIMEOUT seconds, by
# default 900, as ctest gives each test of the suite here. The slowest program, test_sdk_transport,
# takes under two minutes under ThreadSanitizer on a busy 8-core machine and one under AddressSanitizer.
program_limit="${PROGRAM_TIMEOUT:-900}"
reports="$PWD/$dir/sanitizer-reports"
# A longer history than the default: on a busy machine an older access's stack is otherwise lost ("failed
# to restore the stack"), and a report whose stack is lost can match no known race of Qt's.
tsan_options="halt_on_error=0:exitcode=0:second_deadlock_stack=1:die_after_fork=0:history_size=5"
export TSAN_OPTIONS="$tsan_options:log_path=$reports/suite"

# Judges the reports of the processes whose report files start with $1; false when one fails.
no_reports() {
  local files=("$reports/$1".*)
  [[ -e ${files[0]} ]] || return 0
  scripts/tsan-reports.py "${files[@]}"
}

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARUVEDEZ_SANITIZE="$sanitizers" >/dev/null
rm -rf "$reports"
mkdir -p "$reports"
if (($#)); then
  programs=()
  for t in "$@"; do
    if [[ $t != */ ]]; then
      programs+=("$t")
      continue
    fi
    mapfile -t found < <(awk -v folder="$t" 'index($1 "/", folder) == 1 { print $2 }' "$dir/test-programs.txt")
    if ((${#found[@]} == 0)); then
      echo "sanitizers $sanitizers: no test program under $t"
      exit 1
    fi
    programs+=("${found[@]}")
  done
  cmake --build "$dir" -j "$build_jobs" --target "${programs[@]}"
  failed=()
  for t in "${programs[@]}"; do
    echo "== $t ($sanitizers)"
    status=0
    TSAN_OPTIONS="$tsan_options:log_path=$reports/$t" scripts/run-limited.sh "$program_limit" "$dir/bin/$t" ||
      status=$?
    if ! no_reports "$t" || ((status != 0)); then
      if ((status == 124)); then echo "== $t failed: timed out"; else echo "== $t failed (exit status $status)"; fi
      failed+=("$t")
    fi
  done
  if ((${#failed[@]})); then
    echo "sanitizers $sanitizers: failures in ${failed[*]}"
    exit 1
  fi
else
  cmake --build "$dir" -j "$build_jobs"
  passed=true
  ctest --test-dir "$dir" --output-on-failure -j "$test_jobs" --timeout 900 || passed=false
  if ! no_reports suite; then
    echo "sanitizers $sanitizers: reports"
    exit 1
  fi
  if ! $passed; then
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
