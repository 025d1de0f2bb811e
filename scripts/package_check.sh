#!/usr/bin/env bash
# Installs a built package into a throwaway root with dpkg --root, checks that its dependencies
# resolve on this system, and starts the installed program under Xvfb with the Exec line of the
# installed menu entry and a calculation file made by the installed pyrelto-cli, as a desktop does
# on a double-click. Leaves a screenshot of that run and the window's desktop properties.
#   scripts/package_check.sh [DEB] [SCREENSHOT]
# The throwaway root holds only the package; the programs run there with this system's libraries,
# the ones the package depends on.
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$(realpath "${1:-$(ls build/package/pyrelto_*.deb | head -n1)}")
shot=$(realpath -m "${2:-build/package/started-from-menu-entry.png}")
app=de.torvane.PyreltoKalkulation

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The dependencies as dpkg and apt see them, without touching this system.
apt-get install --simulate --no-install-recommends "$deb" >"$work/apt.log" ||
  { cat "$work/apt.log"; echo "FAIL: the package's dependencies do not resolve" >&2; exit 1; }

root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
# An empty root has none of the libraries, so dpkg is told to install regardless; the simulation
# above checked them against this system.
dpkg --root="$root" --force-not-root --force-depends --force-script-chrootless \
  --log=/dev/null -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; exit 1; }
dpkg --root="$root" -s pyrelto | grep -E '^(Status|Version|Depends|Recommends):'
dpkg --root="$root" -L pyrelto >"$work/files"
echo "installed files: $(wc -l <"$work/files")"

# A calculation made by the installed driver, under a name with a space and an umlaut.
home=$work/home
mkdir -p "$home/Angebote"
kal="$home/Angebote/Angebot Müller.kal"
"$root/usr/bin/pyrelto-cli" --separator=, List1Ed=9,99 Rab1Ed=35 Ver1Ed=15 Summe6Ed=0,35 \
  Summe7Ed=0,20 Ek8Ed=0,12 Anz8Ed=4 Summe10Ed=6 Summe11Ed=4,5 Dach14Ed=24 KundeEd=Müller \
  --save "$kal" >/dev/null

# The Exec line as a desktop runs it: %f becomes the one local file, the program is found on PATH.
exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/$app.desktop")
read -r -a command <<<"$exec_line"
for i in "${!command[@]}"; do
  [ "${command[$i]}" = "%f" ] && command[$i]=$kal
done
echo "Exec=$exec_line -> ${command[*]}"

display=:$((90 + RANDOM % 100))
mkdir -p "$work/fb"
Xvfb "$display" -screen 0 1024x768x24 -fbdir "$work/fb" -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do xprop -display "$display" -root >/dev/null 2>&1 && break; sleep 0.1; done

(cd "$home" && env -i PATH="$root/usr/bin:/usr/bin:/bin" HOME="$home" DISPLAY="$display" \
  LANG=de_DE.UTF-8 XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
  XDG_DATA_DIRS="$root/usr/share:/usr/share" QT_QPA_PLATFORM=xcb "${command[@]}") \
  >"$work/program.log" 2>&1 &
pids+=($!)
title="Torvane Pyrelto Kalkulation 1.0"
for _ in $(seq 100); do
  xprop -display "$display" -name "$title" WM_CLASS >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 2 # the first paint and the file's values
# WM_CLASS is what X11 desktops match against the entry's StartupWMClass.
xprop -display "$display" -name "$title" WM_CLASS WM_NAME | sed 's/^/window: /'
icons=$(xprop -display "$display" -name "$title" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' |
  tr '\n' ' ' || true)
echo "window icon sizes: ${icons:-none}"
python3 packaging/xwd_to_png.py "$work/fb/Xvfb_screen0" "$shot"
echo "screenshot: $shot"
[ -s "$work/program.log" ] && sed 's/^/program: /' "$work/program.log"
exit 0
