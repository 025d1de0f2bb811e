#!/usr/bin/env bash
# The real pyrelto-cli of a build with Qt, end to end, without a display: --offer with no firm data
# warns and still writes the offer (exit 0), --calculation-pdf writes the printout, and a step that
# cannot write its file fails alone (exit 1, the other steps ran; the offer's number stays recorded
# for it, so the next offer gets the one after).
#   offer_binary_test.sh CLI GROSS INPUT...   (the worked example: its gross sum and its inputs)
set -euo pipefail
cli=$1
gross=$2
shift 2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export HOME=$dir XDG_CONFIG_HOME=$dir/config XDG_DATA_HOME=$dir/data
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
steps=("$@" KundeEd=Müller)
status=0
"$cli" "${steps[@]}" --offer "$dir/angebot.pdf" --calculation-pdf "$dir/kalkulation.pdf" \
  >"$dir/out.json" 2>"$dir/err.txt" || status=$?
[ "$status" -eq 0 ] || { echo "exit $status"; cat "$dir/err.txt"; exit 1; }
grep -q 'ohne Briefkopf' "$dir/err.txt" || { echo "no warning"; cat "$dir/err.txt"; exit 1; }
pdftotext "$dir/angebot.pdf" - | grep -q "$gross €" || { echo "offer without gross sum"; exit 1; }
pdftotext "$dir/angebot.pdf" - | grep -q "$(date +%Y)-001" || { echo "no first number"; exit 1; }
pdftotext "$dir/kalkulation.pdf" - | grep -q 'EK Preis' || { echo "printout incomplete"; exit 1; }

status=0
"$cli" "${steps[@]}" --offer "$dir/missing/angebot.pdf" --offer "$dir/zweites.pdf" \
  >"$dir/out.json" 2>"$dir/err.txt" || status=$?
[ "$status" -eq 1 ] || { echo "exit $status after a failed step"; exit 1; }
grep -q "\"BruttoEd\": \"$gross\"" "$dir/out.json" || { echo "no JSON after a failed step"; exit 1; }
grep -q "Das Angebot $(date +%Y)-002 ist im Angebotsbuch verzeichnet" "$dir/err.txt" ||
  { echo "the failed offer's number not named"; cat "$dir/err.txt"; exit 1; }
pdftotext "$dir/zweites.pdf" - | grep -q "$(date +%Y)-003" || { echo "number not counted"; exit 1; }
echo ok
