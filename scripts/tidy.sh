#!/usr/bin/env bash
# Runs clang-tidy (checks in .clang-tidy) over the project's own sources and fails on any finding:
#   scripts/tidy.sh [folder...]    (default: app platform sdk tools bench)
# It reuses build/ (TIDY_BUILD_DIR names another tree) and builds it first: the compile database must
# match the tree, and the generated headers (forms, meta-object code, nanopb) must exist.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
dir="${TIDY_BUILD_DIR:-build}"
folders=("$@")
((${#folders[@]})) || folders=(app platform sdk tools bench)

tidy=$(command -v clang-tidy-14 || command -v clang-tidy || true)
[ -n "$tidy" ] || { echo "clang-tidy is not installed (scripts/setup.sh installs it)" >&2; exit 2; }

export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$dir" -j "$(nproc)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Qt's headers are read as ordinary headers, not system ones: the analyzer assumes a system function
# never takes ownership of a pointer, so every functor Qt queues (QTimer::singleShot,
# QMetaObject::invokeMethod), which Qt frees itself, would read as a leak. The header filter below
# still keeps every finding inside Qt out of the report.
sed -E 's#-isystem ([^ ]*/qt6[^ ]*)#-I\1#g' "$dir/compile_commands.json" >"$work/compile_commands.json"

# The project's sources: files under the chosen folders, never generated ones (those live in the build
# tree), and findings only from the project's own headers.
quote() { sed -E 's/[][\.*^$+?(){}|]/\\&/g' <<<"$1"; }
alternatives=$(for f in "${folders[@]}"; do quote "${f%/}"; done | paste -sd '|')
sources="^$(quote "$root")/($alternatives)/.*\\.(cpp|cc)\$"
headers="^$(quote "$root")/(app|platform|sdk|tools|bench|tests)/"
mapfile -t files < <(python3 - "$work/compile_commands.json" "$sources" <<'EOF'
import json, re, sys
pattern = re.compile(sys.argv[2])
for entry in json.load(open(sys.argv[1])):
    if pattern.search(entry["file"]):
        print(entry["file"])
EOF
)
((${#files[@]})) || { echo "no sources match: ${folders[*]}" >&2; exit 2; }

jobs="${TIDY_JOBS:-$(nproc)}"
echo "clang-tidy: ${#files[@]} files, $jobs at a time"
start=$SECONDS
status=0
# Only the findings reach the log: no command lines, counts of suppressed warnings or colours.
quiet() { sed -E 's/\x1b\[[0-9;]*m//g' | grep -Ev '^([^ ]*clang-tidy[^ ]* |Suppressed|Use -header-filter|[0-9]+ warnings? generated)' || true; }
if runner=$(command -v run-clang-tidy-14 || command -v run-clang-tidy); then
  "$runner" -quiet -j "$jobs" -clang-tidy-binary "$tidy" -p "$work" -header-filter "$headers" "$sources" \
    2>&1 | quiet || status=$?
else
  printf '%s\0' "${files[@]}" |
    xargs -0 -n 1 -P "$jobs" "$tidy" --quiet --warnings-as-errors='*' -p "$work" --header-filter="$headers" \
      2>&1 | quiet || status=$?
fi
echo "clang-tidy took $((SECONDS - start)) s"
if ((status)); then
  echo "clang-tidy: findings above" >&2
  exit 1
fi
echo "clang-tidy: clean"
