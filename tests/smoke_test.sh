#!/usr/bin/env bash
# Starts the built program in a real window on a virtual screen, finds the
# window by its caption, takes a screenshot of it and closes it. Then starts
# it through run.sh from another folder and saves there.
set -euo pipefail
program=$1
shots=$2
run_script=$3
mkdir -p "$shots"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
entry="$(dirname "$run_script")/packaging/io.github.gompertz.Gompertz.desktop"

# Without a screen, run.sh says so at once, before it installs or builds.
if said=$(env -u DISPLAY -u WAYLAND_DISPLAY "$run_script" 2>&1); then
  echo "run.sh without a screen did not fail" >&2
  exit 1
fi
if [ "$said" != "No hay pantalla (ni DISPLAY ni WAYLAND_DISPLAY): ábralo en una pantalla virtual con 'xvfb-run $run_script'." ]; then
  echo "run.sh without a screen said more than that there is none:" >&2
  echo "$said" >&2
  exit 1
fi
echo "run.sh without a screen says so before building"

# The menu entry is valid without a hint, and names the windows' class.
if command -v desktop-file-validate >/dev/null; then
  hints=$(desktop-file-validate "$entry" 2>&1 || true)
  if [ -n "$hints" ]; then
    echo "$hints" >&2
    exit 1
  fi
fi
wm_class=$(sed -n 's/^StartupWMClass=//p' "$entry")
[ -n "$wm_class" ] || { echo "the menu entry has no StartupWMClass" >&2; exit 1; }

cat >"$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
set -euo pipefail
program=$1; shots=$2; run_script=$3; wm_class=$4
menu=18 # the menu bar's height above the designed client area
find_window() {
  window=""
  for _ in $(seq "$1"); do
    window=$(xdotool search --name '^Ajuste de Curvas Gompertz\.$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && return 0
    sleep 0.1
  done
  echo "no window captioned 'Ajuste de Curvas Gompertz.' appeared" >&2
  kill "$pid" 2>/dev/null || true
  exit 1
}
"$program" &
pid=$!
find_window 100
sleep 0.5
# The window's class is the one the menu entry names.
if ! xdotool search --class "^$wm_class\$" 2>/dev/null | grep -qx "$window"; then
  echo "the window's class is not '$wm_class', as the menu entry says" >&2
  kill "$pid"
  exit 1
fi
import -window "$window" "$shots/table-view.png"
# Type two points and switch to the graph, as a user would.
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
xdotool mousemove --window "$window" 80 $((60 + menu)) click 1 type '0'
xdotool mousemove --window "$window" 250 $((60 + menu)) click 1 type '1,5'
xdotool mousemove --window "$window" 80 $((92 + menu)) click 1 type '2,5'
xdotool mousemove --window "$window" 250 $((92 + menu)) click 1 type '4'
xdotool mousemove --window "$window" 80 $((124 + menu)) click 1 type '5'
xdotool mousemove --window "$window" 250 $((124 + menu)) click 1 type '4,8'
xdotool mousemove --window "$window" 648 $((100 + menu)) click 1
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

# run.sh builds in the repository but runs the program where it was started.
mkdir -p elsewhere
(cd elsewhere && exec "$run_script") >run.log 2>&1 &
pid=$!
find_window 600
sleep 0.5
xdotool mousemove --window "$window" 648 $((36 + menu)) click 1 # "Guardar"
for _ in $(seq 50); do
  [ -s elsewhere/datos.txt ] && break
  sleep 0.1
done
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
if [ ! -s elsewhere/datos.txt ]; then
  echo "run.sh did not save datos.txt in the folder it was started from" >&2
  cat run.log >&2
  exit 1
fi
echo "run.sh saved datos.txt in the folder it was started from"
SESSION
chmod +x "$work/session.sh"

# On a usual screen, on a small one, and on a large one at twice the scale,
# under a window manager: both windows open within the screen (side by side
# on the usual one, where there is room), and the screenshots show them.
cat >"$work/screens.sh" <<'SCREENS'
#!/usr/bin/env bash
set -euo pipefail
program=$1; shots=$2; name=$3; width=$4; height=$5; beside=${6:-}
openbox >/dev/null 2>&1 &
sleep 0.5
# The window captioned $1, within ten seconds.
window_named() {
  local found=""
  for _ in $(seq 100); do
    found=$(xdotool search --name "$1" 2>/dev/null | head -n 1 || true)
    [ -n "$found" ] && break
    sleep 0.1
  done
  [ -n "$found" ] || { echo "no window '$1' on the $name screen" >&2; kill "$pid"; exit 1; }
  echo "$found"
}
declare -A left right
"$program" &
pid=$!
main=$(window_named '^Ajuste de Curvas Gompertz\.$')
sleep 0.5
xdotool windowactivate --sync "$main" 2>/dev/null || true
xdotool key --window "$main" ctrl+l
analysis=$(window_named '^Análisis del ajuste$')
sleep 1
for window in "$main" "$analysis"; do
  eval "$(xdotool getwindowgeometry --shell "$window")"
  if [ "$X" -lt 0 ] || [ "$Y" -lt 0 ] || [ $((X + WIDTH)) -gt "$width" ] || [ $((Y + HEIGHT)) -gt "$height" ]; then
    echo "a window at $X,$Y of $WIDTH x $HEIGHT leaves the $name screen ($width x $height)" >&2
    kill "$pid"
    exit 1
  fi
  right[$window]=$((X + WIDTH)); left[$window]=$X
done
# Where the screen has room for both, neither covers the other.
if [ -n "$beside" ] && [ "${right[$main]}" -gt "${left[$analysis]}" ]; then
  echo "the analysis window (from x = ${left[$analysis]}) covers the main window (to x = ${right[$main]}) on the $name screen" >&2
  kill "$pid"
  exit 1
fi
import -window root "$shots/screen-$name.png"
kill "$pid"
wait "$pid" 2>/dev/null || true
echo "both windows within the $name screen"
SCREENS
chmod +x "$work/screens.sh"
cd "$work"
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" "$work/session.sh" "$program" "$shots" "$run_script" "$wm_class"
xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" "$work/screens.sh" "$program" "$shots" 1280x1024 1280 1024 beside
xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" "$work/screens.sh" "$program" "$shots" 1024x768 1024 768
QT_SCALE_FACTOR=2 xvfb-run -a -s "-screen 0 1600x1000x24 -dpi 96" "$work/screens.sh" "$program" "$shots" 1600x1000-x2 1600 1000
