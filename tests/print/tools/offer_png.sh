#!/usr/bin/env bash
# Renews docs/offer.png: page 1 of the worked example's offer, as the print test writes it.
# Usage: tests/print/tools/offer_png.sh [BUILD]   (BUILD: build/dev by default)
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${1:-build/dev}
out=$(PYRELTO_KEEP_OFFER=1 QT_QPA_PLATFORM=offscreen "$build/tests/print/offer_tests" \
        --gtest_filter='OfferTest.WorkedExampleShowsTheSellingSideOnly')
folder=$(sed -n 's/^files kept in //p' <<<"$out")
pdftoppm -r 110 -png -f 1 -singlefile "$folder/a.pdf" docs/offer
rm -rf "$folder"
echo "docs/offer.png"
