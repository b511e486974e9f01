#!/usr/bin/env bash
# Installs what is missing, builds, and starts the clinic application (under Xvfb without a display).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x1280x24" build/bin/zaruvedez "$@"
fi
exec build/bin/zaruvedez "$@"
