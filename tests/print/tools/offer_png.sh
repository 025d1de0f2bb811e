#!/usr/bin/env bash
# Renews docs/offer.png: page 1 of the worked example's offer, as the print test writes it; and
# docs/offer-private.png: page 1 of the offer with every particular, for a private customer (the
# § 35a labour share).
# Usage: tests/print/tools/offer_png.sh [BUILD]   (BUILD: build/dev by default)
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${1:-build/dev}
out=$(PYRELTO_KEEP_OFFER=1 QT_QPA_PLATFORM=offscreen "$build/tests/print/offer_tests" \
        --gtest_filter='OfferTest.WorkedExampleShowsTheSellingSideOnly:OfferTest.OfferParticularsArePrintedWhenGiven')
folders=$(sed -n 's/^files kept in //p' <<<"$out")
for folder in $folders; do
  [ -f "$folder/a.pdf" ] && pdftoppm -r 110 -png -f 1 -singlefile "$folder/a.pdf" docs/offer
  [ -f "$folder/full.pdf" ] && pdftoppm -r 110 -png -f 1 -singlefile "$folder/full.pdf" docs/offer-private
  rm -rf "$folder"
done
echo "docs/offer.png docs/offer-private.png"
