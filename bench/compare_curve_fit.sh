#!/usr/bin/env bash
# "Ajuste óptimo" (the Gompertz click, and on a long series of 10 000
# points: curve_fit from its own start, then from the true curve) and
# "Comparar modelos" (every model fitted and compared) against SciPy's
# curve_fit on the same data sets,
# measured one after the other in the same run so that both see the same
# machine. Each side gives its best of five runs. Needs the release
# benchmark (./test.sh builds it in build/).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh python3-scipy
ours=$(build/bench/fit_bench --benchmark_filter='AjusteOptimo|CompararModelos|Ajuste10000' \
  --benchmark_repetitions=5 \
  --benchmark_format=csv 2>/dev/null | grep -E '^"?BM_[A-Za-z0-9]+/[a-z0-9]+"?,' |
  sed -E 's|^"?BM_([A-Za-z0-9]+)/([a-z0-9]+)"?,[^,]*,([0-9.e+]+),.*|\1 \2 \3|' |
  sort -k1,1 -k2,2 -k3,3g | awk '!seen[$1 FS $2]++')
theirs=$(/usr/bin/python3 bench/curve_fit_timing.py)
printf '%-18s %-8s %10s %14s %8s\n' click set "ours (µs)" "curve_fit (µs)" ratio
while read -r click name real; do
  column=$([ "$click" = CompararModelos ] && echo 3 || echo 2)
  scipy=$(awk -v n="$name" -v c="$column" '$1 == n {print $c}' <<<"$theirs")
  [ -n "$scipy" ] || continue
  awk -v k="$click" -v n="$name" -v r="$real" -v s="$scipy" \
    'BEGIN {printf "%-18s %-8s %10.1f %14.1f %8.2f\n", k, n, r / 1000, s, r / 1000 / s}'
done <<<"$ours"
# The long series again, curve_fit started at the true curve.
awk -v r="$(awk '$1 == "Ajuste10000" {print $3}' <<<"$ours")" \
  -v s="$(awk '$1 == "long" {print $3}' <<<"$theirs")" \
  'BEGIN {if (r != "" && s != "") printf "%-18s %-8s %10.1f %14.1f %8.2f  (curve_fit from the true a, c, t0)\n", "Ajuste10000", "long", r / 1000, s, r / 1000 / s}'

