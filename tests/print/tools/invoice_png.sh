#!/usr/bin/env bash
# Renews docs/invoice.png: page 1 of the final invoice deducting two partial invoices, as the
# invoice print test writes it.
# Usage: tests/print/tools/invoice_png.sh [BUILD]   (BUILD: build/dev by default)
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${1:-build/dev}
out=$(PYRELTO_KEEP_INVOICE=1 QT_QPA_PLATFORM=offscreen "$build/tests/print/invoice_print_tests" \
        --gtest_filter='InvoicePrintTest.AFinalInvoicesDeductionsAddUp')
folder=$(sed -n 's/^files kept in //p' <<<"$out")
pdftoppm -r 110 -png -f 1 -singlefile "$folder/schlussrechnung.pdf" docs/invoice
rm -rf "$folder"
echo "docs/invoice.png"
