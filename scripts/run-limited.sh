#!/usr/bin/env bash
# Runs a test program with a time limit, so that a hang fails and names itself instead of holding the
# run for good: scripts/run-limited.sh <seconds> <program> [argument...]
#
# A program still running after <seconds> gets SIGTERM, it and every process it started (they share
# its process group), and Catch answers the signal by naming the test it was running as failed.
# Whatever is left GRACE seconds later (default 30), a forked child that never answers, say, is killed.
# The exit status is the program's own, or 124 after a time-out, which a line naming the program says.
set -uo pipefail
limit="$1"
shift
grace="${GRACE:-30}"
name="$(basename "$1")"
start=$SECONDS
# timeout leads a process group of its own, which the program and its children join: the group id is
# its process id.
timeout --kill-after="$grace" "$limit" "$@" </dev/null &
group=$!
# Interrupted, the script takes the program along: it is not in the terminal's foreground group.
trap 'kill -TERM -- "-$group" 2>/dev/null; wait "$group"; exit 130' INT TERM
status=0
wait "$group" || status=$?
if ((status == 124 || (status == 137 && SECONDS - start >= limit))); then
  kill -KILL -- "-$group" 2>/dev/null || true
  echo "== $name timed out: still running after $limit s, it was ended (SIGTERM, then SIGKILL to what was" \
    "left after $grace s); Catch names the test it hung in above, failed by SIGTERM (no test is named" \
    "when it hung before or after its tests)"
  exit 124
fi
exit "$status"
