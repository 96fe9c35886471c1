#!/usr/bin/env bash
# The program as a desktop program: validates the menu entry and the
# AppStream data, installs into a temporary DESTDIR and checks the layout,
# starts the installed copy, and builds and checks the Debian package.
set -euo pipefail
source_dir=$1
build_dir=$2
app_id=io.github.gompertz.Gompertz
work=$(mktemp -d)
trap 'kill "${pid:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT

desktop-file-validate "$source_dir/packaging/$app_id.desktop"
appstreamcli validate --no-net "$build_dir/packaging/$app_id.metainfo.xml"

DESTDIR="$work/root" cmake --install "$build_dir" --prefix /usr >/dev/null
expected="usr/bin/gompertz
usr/bin/gompertz-lote
usr/share/applications/$app_id.desktop
usr/share/doc/gompertz/LICENSE
usr/share/doc/gompertz/README.md
usr/share/icons/hicolor/128x128/apps/$app_id.png
usr/share/icons/hicolor/256x256/apps/$app_id.png
usr/share/icons/hicolor/48x48/apps/$app_id.png
usr/share/icons/hicolor/64x64/apps/$app_id.png
usr/share/icons/hicolor/scalable/apps/$app_id.svg
usr/share/metainfo/$app_id.metainfo.xml"
laid=$(cd "$work/root" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
if [ "$laid" != "$(LC_ALL=C sort <<<"$expected")" ]; then
  echo "the install laid out other files:" >&2
  diff <(LC_ALL=C sort <<<"$expected") <(echo "$laid") >&2 || true
  exit 1
fi
# The installed README shows no image the package does not ship.
if grep -n '](docs/' "$work/root/usr/share/doc/gompertz/README.md" >&2; then
  echo "the installed README shows images that are not installed" >&2
  exit 1
fi
grep -q '^## Set-up' "$work/root/usr/share/doc/gompertz/README.md"
for size in 48 64 128 256; do
  identify -format '%wx%h' "$work/root/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png" |
    grep -qx "${size}x${size}"
done

# The installed copy starts and keeps its window open.
(cd "$work" && QT_QPA_PLATFORM=offscreen exec "$work/root/usr/bin/gompertz") &
pid=$!
sleep 2
kill -0 "$pid"
kill "$pid"
wait "$pid" 2>/dev/null || true
cat >"$work/window.sh" <<'SESSION'
#!/usr/bin/env bash
set -euo pipefail
"$1" &
pid=$!
for _ in $(seq 100); do
  if xdotool search --name '^Ajuste de Curvas Gompertz\.$' >/dev/null 2>&1; then
    kill "$pid"; exit 0
  fi
  sleep 0.1
done
kill "$pid"; echo "the installed program showed no window" >&2; exit 1
SESSION
chmod +x "$work/window.sh"
(cd "$work" && unset QT_QPA_PLATFORM && xvfb-run -a "$work/window.sh" "$work/root/usr/bin/gompertz")

# The Debian package, its files and its computed dependencies.
cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$work/package" >/dev/null
deb=$(ls "$work"/package/gompertz_*_amd64.deb)
contents=$(dpkg-deb --contents "$deb")
for file in $expected usr/share/doc/gompertz/copyright usr/share/doc/gompertz/changelog.gz; do
  grep -q " \./$file\$" <<<"$contents" || { echo "the package lacks $file" >&2; exit 1; }
done
info=$(dpkg-deb --info "$deb")
grep -q '^ Package: gompertz$' <<<"$info"
grep -q '^ Section: science$' <<<"$info"
for library in libqt6widgets6 libgsl27 libcminpack1 libqcustomplot2.1-qt6 libc6 qt6-translations-l10n; do
  grep -q "^ Depends: .*$library" <<<"$info" || { echo "no dependency on $library" >&2; exit 1; }
done
lintian --fail-on error "$deb" 2>&1 | grep -v 'running with root privileges' || true
lintian --fail-on error "$deb" >/dev/null 2>&1
echo "installed, started and packaged: $(basename "$deb")"
