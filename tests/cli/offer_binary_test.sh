#!/usr/bin/env bash
# The real pyrelto-cli of a build with Qt, end to end, without a display: --offer with no firm data
# warns and still writes the offer (exit 0), --calculation-pdf writes the printout, and a step that
# cannot write its file fails alone (exit 1, the other steps ran; the offer's number stays recorded
# for it, so the next offer gets the one after).
set -euo pipefail
cli=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export HOME=$dir XDG_CONFIG_HOME=$dir/config XDG_DATA_HOME=$dir/data
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
steps=(--separator=, List1Ed=9,99 Rab1Ed=35 Ver1Ed=15 Summe6Ed=0,35 Summe7Ed=0,20 Ek8Ed=0,12
       Anz8Ed=4 Summe10Ed=6 Summe11Ed=4,5 Dach14Ed=24 KundeEd=Müller)
status=0
"$cli" "${steps[@]}" --offer "$dir/angebot.pdf" --calculation-pdf "$dir/kalkulation.pdf" \
  >"$dir/out.json" 2>"$dir/err.txt" || status=$?
[ "$status" -eq 0 ] || { echo "exit $status"; cat "$dir/err.txt"; exit 1; }
grep -q 'ohne Briefkopf' "$dir/err.txt" || { echo "no warning"; cat "$dir/err.txt"; exit 1; }
pdftotext "$dir/angebot.pdf" - | grep -q '578,63 €' || { echo "offer without gross sum"; exit 1; }
pdftotext "$dir/angebot.pdf" - | grep -q "$(date +%Y)-001" || { echo "no first number"; exit 1; }
pdftotext "$dir/kalkulation.pdf" - | grep -q 'EK Preis' || { echo "printout incomplete"; exit 1; }

status=0
"$cli" "${steps[@]}" --offer "$dir/missing/angebot.pdf" --offer "$dir/zweites.pdf" \
  >"$dir/out.json" 2>"$dir/err.txt" || status=$?
[ "$status" -eq 1 ] || { echo "exit $status after a failed step"; exit 1; }
grep -q '"BruttoEd": "578,63"' "$dir/out.json" || { echo "no JSON after a failed step"; exit 1; }
grep -q "Das Angebot $(date +%Y)-002 ist im Angebotsbuch verzeichnet" "$dir/err.txt" ||
  { echo "the failed offer's number not named"; cat "$dir/err.txt"; exit 1; }
pdftotext "$dir/zweites.pdf" - | grep -q "$(date +%Y)-003" || { echo "number not counted"; exit 1; }
echo ok
