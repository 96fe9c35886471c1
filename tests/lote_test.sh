#!/usr/bin/env bash
# gompertz-lote as a user runs it: a folder with a sound file and a broken
# one, in both dialects and as JSON; its help; its exit status.
set -euo pipefail
lote=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/datos"
printf 't;y\n-3,01944;0,017\n-3,01944;0,018\n-1,63315;0,121\n-1,63315;0,124\n-0,94001;0,206\n-0,94001;0,215\n-0,24686;0,377\n-0,24686;0,374\n0,44629;0,614\n0,44629;0,609\n1,13943;1,019\n1,13943;1,001\n1,83258;1,334\n1,83258;1,364\n2,52573;1,73\n2,52573;1,71\n' >"$work/datos/dnase1.csv"
printf 't;y\n1;x\n' >"$work/datos/roto.csv"
printf 'no es un conjunto\n' >"$work/datos/notas.md"

status=0
"$lote" --hilos 2 "$work/datos" >"$work/out.csv" 2>"$work/err.txt" || status=$?
[ "$status" = 1 ] || { echo "exit status $status, not 1, with a broken file" >&2; exit 1; }
grep -q 'roto.csv: en la línea 2' "$work/err.txt" || { cat "$work/err.txt" >&2; exit 1; }
[ "$(wc -l <"$work/out.csv")" = 2 ] || { cat "$work/out.csv" >&2; exit 1; }
grep -q '^archivo,conjunto,modelo,estado,n,a,' "$work/out.csv"
grep -q ',dnase1,Gompertz,óptimo,16,4\.603' "$work/out.csv"

"$lote" --formato csv-es --salida "$work/es.csv" --fijar a=4,5 "$work/datos/dnase1.csv"
grep -q ';dnase1;Gompertz;óptimo;16;4,5;fijo;' "$work/es.csv"

"$lote" --formato json --comparar-modelos "$work/datos/dnase1.csv" >"$work/out.json"
[ "$(grep -c '"modelo":' "$work/out.json")" = 4 ]

"$lote" --ayuda | grep -q -- '--comparar-modelos'
"$lote" --help | grep -q -- '--hilos'
status=0
"$lote" --modelo exponencial "$work/datos/dnase1.csv" 2>"$work/err.txt" || status=$?
[ "$status" = 2 ] && grep -q 'no hay un modelo «exponencial»' "$work/err.txt"
echo "gompertz-lote: 6 checks passed"
