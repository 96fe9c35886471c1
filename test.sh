#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh cmake ninja-build g++ qt6-base-dev qt6-svg-dev libgl-dev libgtest-dev \
  libbenchmark-dev xvfb xauth imagemagick xdotool fonts-dejavu-core clang libclang-rt-14-dev \
  libgsl-dev libcminpack-dev libqcustomplot-dev qt6-translations-l10n openbox desktop-file-utils appstream lintian \
  dpkg-dev file librsvg2-bin

# The program and the benchmarks, as they are shipped.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DGOMPERTZ_BENCH=ON >/dev/null
cmake --build build

# The tests, under AddressSanitizer and UndefinedBehaviorSanitizer.
cmake -S . -B build-tests -G Ninja -DCMAKE_BUILD_TYPE=Debug -DGOMPERTZ_TESTS=ON \
  -DGOMPERTZ_SANITIZE=ON -DGOMPERTZ_RELEASE_DIR="$PWD/build" >/dev/null
cmake --build build-tests

# The fuzz targets, built by clang with libFuzzer.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DGOMPERTZ_FUZZ=ON >/dev/null
cmake --build build-fuzz --target number_text_fuzz data_file_fuzz columns_fuzz set_file_fuzz

status=0
ctest --test-dir build-tests --output-on-failure "$@" || status=1
ctest --test-dir build-fuzz --output-on-failure -j2 || status=1
exit $status
