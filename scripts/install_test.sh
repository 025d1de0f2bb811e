#!/usr/bin/env bash
# Installs a finished build into a temporary DESTDIR and checks what a desktop sees of it: the menu
# entry and the software-centre description pass their validators, the icons the entries name are
# there, a .kal and a .mat file get the program's types and a .kal opens with the program, and the
# installed pyrelto-cli runs the README's worked example from the install location and finds its
# module for a PDF step.
#   scripts/install_test.sh BUILD_DIR
# CTest runs it (test "install_layout") once the build is complete.
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
app=de.torvane.PyreltoKalkulation
calc_type=application/x-pyrelto-kalkulation
preset_type=application/x-pyrelto-material

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
share=$root/usr/share

# The validators report problems on stdout and fail only on errors.
desktop-file-validate "$share/applications/$app.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$share/metainfo/$app.metainfo.xml" >"$work/appstream.log" ||
  { cat "$work/appstream.log"; fail "appstreamcli validate"; }

# Every icon the entries name, in every size of the theme and as SVG.
icon=$(sed -n 's/^Icon=//p' "$share/applications/$app.desktop")
[ "$icon" = "$app" ] || fail "desktop entry names icon '$icon'"
for name in "apps/$app" "mimetypes/application-x-pyrelto-kalkulation" \
            "mimetypes/application-x-pyrelto-material"; do
  for size in 16 24 32 48 64 128 256; do
    [ -s "$share/icons/hicolor/${size}x${size}/$name.png" ] || fail "no ${size}px icon $name"
  done
  [ -s "$share/icons/hicolor/scalable/$name.svg" ] || fail "no scalable icon $name"
done
for page in pyrelto pyrelto-cli; do
  gzip -t "$share/man/man1/$page.1.gz" || fail "manual page $page"
done

# Nothing installed may lead back to the build folder: no run path in the programs, no path in a
# text file.
module=$(find "$root/usr/lib" -path '*/pyrelto/pyrelto-cli-qt.so' 2>/dev/null)
[ -n "$module" ] || fail "the module of pyrelto-cli's PDF steps is not installed"
for program in "$root"/usr/bin/* $module; do
  if readelf -d "$program" | grep -E 'RPATH|RUNPATH'; then fail "$program has a run path"; fi
done
if grep -rlI -- "$build" "$root"; then fail "installed text files name the build folder"; fi

# The installed driver alone, from a folder of its own: the worked example, then a save and an
# open of a calculation file with it.
cli=$root/usr/bin/pyrelto-cli
mkdir -p "$work/run" && cd "$work/run"
example=$(env -i PATH=/usr/bin:/bin "$cli" --separator=, List1Ed=9,99 Rab1Ed=35 Ver1Ed=15 \
  Summe6Ed=0,35 Summe7Ed=0,20 Ek8Ed=0,12 Anz8Ed=4 Summe10Ed=6 Summe11Ed=4,5 Dach14Ed=24 \
  KundeEd=Müller --save "Angebot Müller.kal") || fail "pyrelto-cli exit status $?"
for expected in '"Summe15Ed": "486,24"' '"MwStEd": "19,00"' '"BruttoEd": "578,63"'; do
  grep -qF -- "$expected" <<<"$example" || fail "worked example lacks $expected"
done
reopened=$(env -i PATH=/usr/bin:/bin "$cli" --separator=, --open "Angebot Müller.kal") ||
  fail "pyrelto-cli --open exit status $?"
grep -qF '"BruttoEd": "578,63"' <<<"$reopened" || fail "the saved calculation did not reopen"
grep -qF '"KundeEd": "Müller"' <<<"$reopened" || fail "the customer did not survive the file"
# The installed driver finds its module relative to itself: a PDF step works from the install.
env -i PATH=/usr/bin:/bin HOME="$work/home" "$cli" --open "Angebot Müller.kal" \
  --calculation-pdf "$work/run/kalkulation.pdf" >/dev/null || fail "pyrelto-cli --calculation-pdf"
[ -s "$work/run/kalkulation.pdf" ] || fail "the installed pyrelto-cli wrote no calculation PDF"
printf 'x' >"$work/run/Dachbahn.mat"

# The desktop's view, with nothing but the install in its data folders. xdg-mime asks GLib for a
# file's type when it takes the desktop for GNOME; its own generic way falls back to file(1),
# which does not read the freedesktop.org MIME database at all.
update-mime-database "$share/mime" || fail "update-mime-database"
update-desktop-database "$share/applications" >/dev/null 2>&1 || fail "update-desktop-database"
query() {
  env HOME="$work/home" XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config" \
    XDG_CONFIG_DIRS="$work/home/etc" XDG_DATA_DIRS="$1" XDG_CURRENT_DESKTOP=GNOME \
    GIO_USE_VFS=local xdg-mime query "${@:2}"
}
got=$(query "$share" filetype "$work/run/Angebot Müller.kal")
[ "$got" = "$calc_type" ] || fail "a .kal file is '$got', not $calc_type"
got=$(query "$share" filetype "$work/run/Dachbahn.mat")
[ "$got" = "$preset_type" ] || fail "a .mat file is '$got', not $preset_type"
got=$(query "$share" default "$calc_type")
[ "$got" = "$app.desktop" ] || fail "$calc_type opens with '$got', not $app.desktop"
# Without the install the same query knows nothing of the type: the answers above come from it.
got=$(query "$work/none" filetype "$work/run/Angebot Müller.kal")
[ "$got" != "$calc_type" ] || fail "the type is known without the install"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "install layout: all checks passed"
