#!/usr/bin/env bash
# gompertz-lote's work (1 000 sixteen-point files read, fitted and profiled,
# on two threads) against R's nls and confint() over the same files in one R
# process, in the same run: R writes the files, both read them. Needs the
# release benchmark (./test.sh builds it in build/); installs R (Debian's
# r-base-core, with r-cran-mass for confint) for this comparison only.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh r-base-core r-cran-mass
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
theirs=$(Rscript bench/lote_timing.R "$folder" make)
ours=$(GOMPERTZ_LOTE_DIR="$folder" build/bench/lote_bench --benchmark_repetitions=3 \
  --benchmark_format=csv 2>/dev/null | grep -E '^"?BM_Lote/1000/real_time"?,' |
  sed -E 's|^[^,]*,[^,]*,([0-9.e+]+),.*|\1|' | sort -g | head -1)
read -r files r failed <<<"$theirs"
awk -v n="$files" -v o="$ours" -v r="$r" -v f="$failed" 'BEGIN {
  printf "%d archivos: gompertz-lote %.1f ms (2 hilos), nls+confint %.1f ms (%d sin ajuste), razón %.4f\n",
         n, o, r, f, o / r }'
