#!/usr/bin/env bash
# The Windows leg: cross-builds the core, the files, the customer list, pyrelto-cli and their test
# programs with mingw-w64, runs them under wine in a throwaway prefix, and checks that both
# systems give the same bytes: the worked example's JSON, and every data file written on one and
# opened and written again on the other.
#
# Usage: scripts/test_windows.sh [LINUX_BUILD]   (default build/asan, which must be built)
#        PYRELTO_WINDOWS_BENCH=1 also times open and save on both systems.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
linux=${1:-build/asan}
win=build/windows-cross

cmake --preset windows-cross >/dev/null
cmake --build "$win" -j"$(nproc)"
cmake --build "$linux" -j"$(nproc)" --target pyrelto-cli file-exchange

work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEARCH=win64
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

start=$(date +%s%N)
wineboot -i >/dev/null 2>&1
echo "wine prefix created in $((($(date +%s%N) - start) / 1000000)) ms"

ctest --test-dir "$win" --output-on-failure

wine=(wine)
wcli() { "${wine[@]}" "$root/$win/cli/pyrelto-cli.exe" "$@"; }
lcli() { "$root/$linux/cli/pyrelto-cli" "$@"; }
wx() { "${wine[@]}" "$root/$win/tests/files/file-exchange.exe" "$@"; }
lx() { "$root/$linux/tests/files/file-exchange" "$@"; }
# wine's Z: drive is the root of this system.
winpath() { echo "Z:${1//\//\\}"; }

failures=0
check() { # check NAME COMMAND... : reports and counts a failing check, goes on with the rest
  local name=$1
  shift
  if "$@"; then
    echo "ok   $name"
  else
    echo "FAIL $name"
    failures=$((failures + 1))
  fi
}

# Both programs carry the icon, the version information and a manifest for long paths and UTF-8;
# the desktop program is built only where Qt for Windows is at hand.
resources() { # resources EXE PATTERN : the decompiled resources hold the pattern
  grep -q -- "$2" "$work/$(basename "$1").rc"
}
for exe in "$win/cli/pyrelto-cli.exe" "$win/app/pyrelto.exe"; do
  name=$(basename "$exe")
  if [ ! -f "$exe" ]; then
    echo "skip $name: not built here"
    continue
  fi
  x86_64-w64-mingw32-windres -i "$exe" -O rc -o "$work/$name.rc"
  check "$name: program icon" resources "$exe" "RT_GROUP_ICON"
  check "$name: version information" resources "$exe" 'VALUE "ProductName", "Pyrelto Kalkulation"'
  check "$name: manifest with longPathAware" resources "$exe" '>true</longPathAware>'
  check "$name: manifest with the UTF-8 code page" resources "$exe" '>UTF-8</activeCodePage>'
done

cd "$work"
steps=(List1Ed=9,99 Rab1Ed=35 Ver1Ed=15 Summe6Ed=0,35 Summe7Ed=0,20 Ek8Ed=0,12 Anz8Ed=4
       Summe10Ed=6 Summe11Ed=4,5 Dach14Ed=24)
lcli --separator=, "${steps[@]}" >linux-comma.json
wcli --separator=, "${steps[@]}" >windows-comma.json
check "worked example, same JSON bytes with ','" cmp -s linux-comma.json windows-comma.json
check "worked example gives 578,63" grep -q '"BruttoEd": "578,63"' windows-comma.json
lcli --separator=. "${steps[@]//,/.}" >linux-point.json
wcli --separator=. "${steps[@]//,/.}" >windows-point.json
check "worked example, same JSON bytes with '.'" cmp -s linux-point.json windows-point.json
# Without --separator the regional settings decide; wine takes them from the locale variables.
env LC_ALL=de_DE.UTF-8 "${wine[@]}" "$root/$win/cli/pyrelto-cli.exe" "${steps[@]}" >windows-german.json
check "German regional settings give ','" cmp -s linux-comma.json windows-german.json
env LC_ALL=en_US.UTF-8 "${wine[@]}" "$root/$win/cli/pyrelto-cli.exe" "${steps[@]//,/.}" \
  >windows-english.json
check "English regional settings give '.'" cmp -s linux-point.json windows-english.json

lcli "KundeEd=Müller 😀" | grep '"KundeEd"' >linux-name.txt
wcli "KundeEd=Müller 😀" | grep '"KundeEd"' >windows-name.txt
check "KundeEd=Müller 😀 arrives intact" cmp -s linux-name.txt windows-name.txt
check "KundeEd=Müller 😀 in UTF-8" grep -q '"Müller 😀"' windows-name.txt

for kind in kal mat dat; do
  lx write "$kind" "linux.$kind"
  wx write "$kind" "$(winpath "$work/windows.$kind")"
  check "$kind: both systems write the same bytes" cmp -s "linux.$kind" "windows.$kind"
  check "$kind: holds CR LF and 1A" bash -c "od -An -tx1 -v linux.$kind | tr -d '\n' | grep -q ' 0d 00 0a 00 1a 00'"
  wx copy "$kind" "$(winpath "$work/linux.$kind")" "$(winpath "$work/via-windows.$kind")"
  check "$kind: written on Linux, opened and saved on Windows" cmp -s "linux.$kind" "via-windows.$kind"
  lx copy "$kind" "windows.$kind" "via-linux.$kind"
  check "$kind: written on Windows, opened and saved on Linux" cmp -s "windows.$kind" "via-linux.$kind"
done
lcli --open linux.kal >linux-open.json
wcli --open "$(winpath "$work/linux.kal")" >windows-open.json
check "kal: the opened sheet is the same on both" cmp -s linux-open.json windows-open.json

# Saves that must be refused, leaving everything as it was.
mkdir saves
cp linux.kal saves/geschuetzt.kal
chmod a-w saves/geschuetzt.kal # wine shows a file without write permission as read-only
refused() { # refused TARGET : the save fails with the German message and exit status 1
  local status=0
  wcli --save "$1" >/dev/null 2>refused.txt || status=$?
  [ "$status" -eq 1 ] && grep -q "Konnte die Datei nicht anlegen." refused.txt
}
check "save onto a read-only file is refused" refused "$(winpath "$work/saves/geschuetzt.kal")"
check "the read-only file is unchanged" cmp -s linux.kal saves/geschuetzt.kal
check "save into a missing folder is refused" refused "$(winpath "$work/saves/fehlt/neu.kal")"
check "save to NUL is refused" refused NUL
check "save to CON is refused" refused CON
check "save to nul.kal in a folder is refused" refused "$(winpath "$work/saves/nul.kal")"
check "no file appeared beside the read-only one" test "$(ls -A saves)" = geschuetzt.kal
# Names Windows would store under another name: the dot or space at the end would vanish.
for bad in "name." "name " "name.kal." "name.kal "; do
  check "save as '$bad' is refused" refused "$(winpath "$work/saves/$bad")"
done
check "nothing written for those names" test "$(ls -A saves)" = geschuetzt.kal
# A path of 400 characters, beyond the classic 260: saved, listed and opened again.
long=$work/lang
while [ ${#long} -lt 280 ]; do long=$long/$(printf 'o%.0s' {1..100}); done
mkdir -p "$long"
# Under wine the name gains the drive "Z:".
longfile=$long/$(printf 'k%.0s' $(seq $((398 - ${#long} - 5))))
longfile=$longfile.kal
wlong=$(winpath "$longfile")
check "400-character path" test ${#wlong} -eq 400
quiet() { "$@" >/dev/null; }
check "400-character path saved" quiet wcli --separator=, "${steps[@]}" --save "$wlong"
wcli --separator=, --open "$wlong" >long-windows.json || true
lcli --separator=, --open "$longfile" >long-linux.json || true
check "400-character path opened, the same sheet as on Linux" \
  bash -c '[ -s long-linux.json ] && cmp -s long-linux.json long-windows.json'
check "400-character path holds the worked example" grep -q '"BruttoEd": "578,63"' long-windows.json

if [ "${PYRELTO_WINDOWS_BENCH:-0}" = 1 ]; then
  for kind in kal dat; do
    echo "Linux   $kind: $(lx time "$kind" "bench-linux.$kind" 2000)"
    echo "Windows $kind: $(wx time "$kind" "$(winpath "$work/bench-windows.$kind")" 2000)"
  done
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures Windows check(s) failed" >&2
  exit 1
fi
echo "All Windows checks passed"
