#!/usr/bin/env bash
# Starts the demo in a window from the data folder, or explains why it cannot.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
[[ "$build" = /* ]] || build="$root/$build"
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  cat >&2 <<MSG
koltrep needs a display, and this session has none (DISPLAY is not set).
  - On a desktop, run \`make run\` from a terminal inside it.
  - Without one, start it in a virtual X server:  cd data && xvfb-run -a $build/koltrep -win
  - Or replay a script headless and save pictures:
      cd data && $build/koltrep-replay --script ../tools/replay/tour.txt --ticks 600 --shot /tmp/koltrep.png
MSG
  exit 1
fi
cd "$root/data" && exec "$build/koltrep" -win
