#!/usr/bin/env bash
# One click of "Ajuste óptimo" against SciPy's curve_fit on the same data
# sets, measured one after the other in the same run so that both see the
# same machine. Needs the release benchmark (./test.sh builds it in build/).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh python3-scipy
ours=$(build/bench/fit_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_format=csv 2>/dev/null | grep '_median' | sed -E 's|^"?BM_AjusteOptimo/([a-z0-9]+)_median"?,[^,]*,([0-9.e+]+),([0-9.e+]+),.*|\1 \2 \3|')
theirs=$(/usr/bin/python3 bench/curve_fit_timing.py)
printf '%-8s %12s %14s %8s\n' set "click (µs)" "curve_fit (µs)" ratio
while read -r name real _cpu; do
  scipy=$(awk -v n="$name" '$1 == n {print $2}' <<<"$theirs")
  awk -v n="$name" -v r="$real" -v s="$scipy" \
    'BEGIN {printf "%-8s %12.1f %14.1f %8.2f\n", n, r / 1000, s, r / 1000 / s}'
done <<<"$ours"
