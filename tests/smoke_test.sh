#!/usr/bin/env bash
# Starts the built program in a real window on a virtual screen, finds the
# window by its caption, takes a screenshot of it and closes it.
set -euo pipefail
program=$1
shots=$2
mkdir -p "$shots"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
set -euo pipefail
program=$1; shots=$2
"$program" &
pid=$!
window=""
for _ in $(seq 100); do
  window=$(xdotool search --name '^Ajuste de Curvas Gompertz\.$' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "no window captioned 'Ajuste de Curvas Gompertz.' appeared" >&2
  kill "$pid" 2>/dev/null || true
  exit 1
fi
sleep 0.5
import -window "$window" "$shots/table-view.png"
# Type two points and switch to the graph, as a user would.
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
xdotool mousemove --window "$window" 80 60 click 1 type '0'
xdotool mousemove --window "$window" 250 60 click 1 type '1,5'
xdotool mousemove --window "$window" 80 92 click 1 type '2,5'
xdotool mousemove --window "$window" 250 92 click 1 type '4'
xdotool mousemove --window "$window" 80 124 click 1 type '5'
xdotool mousemove --window "$window" 250 124 click 1 type '4,8'
xdotool mousemove --window "$window" 648 100 click 1
sleep 0.5
import -window "$window" "$shots/graph-view.png"
if ! kill -0 "$pid" 2>/dev/null; then
  echo "the program ended while the graph view was being opened" >&2
  exit 1
fi
kill "$pid"
wait "$pid" 2>/dev/null || true
[ -s "$shots/table-view.png" ] && [ -s "$shots/graph-view.png" ]
echo "window found and captured in $shots"
SESSION
chmod +x "$work/session.sh"
cd "$work"
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" "$work/session.sh" "$program" "$shots"
