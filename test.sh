#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh cmake ninja-build g++ qt6-base-dev libgl-dev libgtest-dev \
  libbenchmark-dev xvfb xauth imagemagick xdotool fonts-dejavu-core

# The program and the benchmarks, as they are shipped.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DGOMPERTZ_BENCH=ON >/dev/null
cmake --build build

# The tests, under AddressSanitizer and UndefinedBehaviorSanitizer.
cmake -S . -B build-tests -G Ninja -DCMAKE_BUILD_TYPE=Debug -DGOMPERTZ_TESTS=ON \
  -DGOMPERTZ_SANITIZE=ON >/dev/null
cmake --build build-tests
ctest --test-dir build-tests --output-on-failure "$@"
