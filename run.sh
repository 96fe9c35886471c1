#!/usr/bin/env bash
# Installs what is missing, builds the program and opens its window. The
# program runs in the folder this script was started from, where it saves
# and loads datos.txt.
set -euo pipefail
repo=$(cd "$(dirname "$0")" && pwd)

# Without a screen the window cannot open: said before anything is installed
# or built.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No hay pantalla (ni DISPLAY ni WAYLAND_DISPLAY): ábralo en una pantalla virtual con 'xvfb-run $0'." >&2
  exit 1
fi

"$repo/scripts/install-deps.sh" cmake ninja-build g++ qt6-base-dev qt6-svg-dev libgl-dev fonts-dejavu-core \
  libgsl-dev libcminpack-dev libqcustomplot-dev qt6-translations-l10n
cmake -S "$repo" -B "$repo/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$repo/build" --target gompertz
exec "$repo/build/gompertz"
