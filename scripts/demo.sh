#!/usr/bin/env bash
# Installs what is needed, builds, and runs the sample game: in a window when a display
# is there, otherwise headless for a few seconds of frames with a screenshot.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/deps.sh
BUILD_DIR="$root/build" bash scripts/build.sh

zylem="$root/build/zylem"
"$zylem" --version

game="$root/build/examples/hello"
if [ ! -f "$game/prog.so" ]; then
  echo "demo: the sample game is not built yet; booting an empty game folder instead"
  game=$(mktemp -d)
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$zylem" --game "$game"
else
  shot="$root/demo.png"
  "$zylem" --headless --game "$game" --frames 300 --screenshot "$shot" && status=0 || status=$?
  echo "demo: zylem exited with status $status"
  [ -f "$shot" ] && echo "demo: screenshot written to $shot"
  log=$(find "${XDG_DATA_HOME:-$HOME/.local/share}" -path '*/logs/zylem-*.log' -printf '%T@ %p\n' 2>/dev/null | sort -n | tail -1 | cut -d' ' -f2-)
  [ -n "$log" ] && echo "demo: log written to $log"
  exit "$status"
fi
