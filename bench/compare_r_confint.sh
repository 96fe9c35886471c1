#!/usr/bin/env bash
# The whole analysis after "Ajuste óptimo" (the fit, the profile intervals of
# every parameter and read-out, the warnings, the band) against R's nls
# followed by confint() on the same data, one after the other in the same
# run, each side its best of five. Needs the release benchmark (./test.sh
# builds it in build/); installs R (Debian's r-base-core, with r-cran-mass
# for confint) for this comparison only.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh r-base-core r-cran-mass
ours=$(build/bench/fit_bench --benchmark_filter=AnalisisCompleto --benchmark_repetitions=5 \
  --benchmark_format=csv 2>/dev/null | grep -E '^"?BM_AnalisisCompleto/[a-z0-9]+"?,' |
  sed -E 's|^"?BM_AnalisisCompleto/([a-z0-9]+)"?,[^,]*,([0-9.e+]+),.*|\1 \2|' |
  sort -k1,1 -k2,2g | awk '!seen[$1]++')
theirs=$(Rscript bench/nls_confint_timing.R)
printf '%-8s %12s %18s %8s\n' set "ours (ms)" "nls+confint (ms)" ratio
while read -r name real; do
  r=$(awk -v n="$name" '$1 == n {print $2}' <<<"$theirs")
  awk -v n="$name" -v o="$real" -v r="$r" \
    'BEGIN {printf "%-8s %12.3f %18.3f %8.3f\n", n, o / 1e6, r, o / 1e6 / r}'
done <<<"$ours"
