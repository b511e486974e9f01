#!/usr/bin/env bash
# Runs the whole suite again and again on a machine kept busy, as CI machines often are, and reports
# every failure (test, run, an excerpt of its output):
#
#   scripts/load-check.sh [suite runs (10)] [sanitizer suite runs (3)]
#
# Beside the runs, HOGS busy loops (default: one per core) keep the processors loaded; the tests run
# JOBS at a time (default: three per core). Each run starts from an empty home and cache folder, the
# way a first run on a new machine would. The sanitizer runs are scripts/sanitize.sh address,undefined
# (its tree is built first, with BUILD_JOBS compilers). Every run's log is kept in the report folder;
# the script exits with 1 when anything failed.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-10}"
sanitizer_runs="${2:-3}"
cores="$(nproc)"
jobs="${JOBS:-$((3 * cores))}"
hogs="${HOGS:-$cores}"
export BUILD_JOBS="${BUILD_JOBS:-$cores}"
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
report="$(mktemp -d "${TMPDIR:-/tmp}/zaruvedez-load-XXXXXX")"

hog_pids=()
stop_hogs() {
  ((${#hog_pids[@]})) || return 0
  kill "${hog_pids[@]}" 2>/dev/null || true
  wait "${hog_pids[@]}" 2>/dev/null || true
  hog_pids=()
}
trap stop_hogs EXIT
start_hogs() {
  for ((i = 0; i < hogs; ++i)); do
    (while :; do :; done) &
    hog_pids+=("$!")
  done
}

echo "load check: $runs suite runs at -j $jobs and $sanitizer_runs sanitizer suite runs at -j $jobs," \
  "beside $hogs busy loops; logs in $report"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build build -j "$BUILD_JOBS" >"$report/build.log" 2>&1 || {
  tail -n 30 "$report/build.log"
  exit 2
}

failures=0
summary=()
# One run: its console in <name>.txt, ctest's log in <name>.log, failures listed in <name>.failures.
record() {
  local name="$1" tree="$2" status="$3" seconds="$4"
  local logs="$tree/Testing/Temporary" line
  line="$(grep -E '^[0-9]+% tests passed' "$report/$name.txt" | head -n 1 || true)"
  [ -n "$line" ] || line="no result (exit status $status)"
  if [ -f "$logs/TracerFailures.log" ]; then
    # Tests the sanitizer script ran again because only LeakSanitizer's tracer failed: said, not hidden.
    mv "$logs/TracerFailures.log" "$report/$name.log"
    cp "$logs/LastTest.log" "$report/$name.again.log"
    scripts/ctest-failures.py "$report/$name.log" >"$report/$name.tracer"
    line="$line; run again after a tracer failure: $(grep -c '^#' "$report/$name.tracer")"
  else
    cp "$logs/LastTest.log" "$report/$name.log" 2>/dev/null || true
  fi
  summary+=("$name: $line (${seconds}s)")
  if [ "$status" -ne 0 ]; then
    failures=$((failures + 1))
    scripts/ctest-failures.py "$report/$name.log" >"$report/$name.failures" || true
    [ -s "$report/$name.failures" ] || tail -n 30 "$report/$name.txt" >"$report/$name.failures"
  fi
}

# Runs a command with an empty home, cache and configuration folder of the run's own.
with_fresh_home() {
  local home="$report/home-$1"
  shift
  mkdir -p "$home/cache" "$home/config"
  env HOME="$home" XDG_CACHE_HOME="$home/cache" XDG_CONFIG_HOME="$home/config" "$@"
}

start_hogs
for ((run = 1; run <= runs; ++run)); do
  name="suite-$run"
  start=$SECONDS
  status=0
  with_fresh_home "$name" env QT_QPA_PLATFORM=offscreen \
    ctest --test-dir build -j "$jobs" --timeout 600 --output-on-failure >"$report/$name.txt" 2>&1 || status=$?
  record "$name" build "$status" $((SECONDS - start))
  echo "${summary[-1]}"
done
stop_hogs
if ((sanitizer_runs > 0)); then
  # Built before the hog starts, as scripts/sanitize.sh configures it: the build is not what is checked.
  {
    cmake -S . -B build-address-undefined -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DZARUVEDEZ_SANITIZE=address,undefined && cmake --build build-address-undefined -j "$BUILD_JOBS"
  } >"$report/sanitizer-build.log" 2>&1 || {
    tail -n 30 "$report/sanitizer-build.log"
    exit 2
  }
  start_hogs
  for ((run = 1; run <= sanitizer_runs; ++run)); do
    name="sanitizer-$run"
    start=$SECONDS
    status=0
    with_fresh_home "$name" env TEST_JOBS="$jobs" scripts/sanitize.sh address,undefined \
      >"$report/$name.txt" 2>&1 || status=$?
    record "$name" build-address-undefined "$status" $((SECONDS - start))
    echo "${summary[-1]}"
  done
  stop_hogs
fi

{
  echo "load check: $runs suite runs and $sanitizer_runs sanitizer suite runs at -j $jobs beside $hogs busy loops"
  printf '  %s\n' "${summary[@]}"
  for f in "$report"/*.failures; do
    [ -e "$f" ] || continue
    echo "failures in $(basename "$f" .failures):"
    sed 's/^/  /' "$f"
  done
  for f in "$report"/*.tracer; do
    [ -e "$f" ] || continue
    echo "run again after LeakSanitizer's tracer failed, in $(basename "$f" .tracer):"
    sed 's/^/  /' "$f"
  done
  if ((failures)); then echo "FAILED: $failures of the runs had failures"; else echo "no failure"; fi
} | tee "$report/report.txt"
((failures == 0))
