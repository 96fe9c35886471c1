#!/usr/bin/env bash
# Installs what is missing, builds the program and opens its window.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh cmake ninja-build g++ qt6-base-dev libgl-dev fonts-dejavu-core
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target gompertz

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No hay pantalla (ni DISPLAY ni WAYLAND_DISPLAY): ábralo en una pantalla virtual con 'xvfb-run ./run.sh'." >&2
  exit 1
fi
exec build/gompertz
