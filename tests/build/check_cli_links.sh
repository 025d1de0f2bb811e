#!/bin/sh
# pyrelto-cli writes its PDFs with Qt Gui and nothing of the window: no Qt Widgets or Network
# anywhere among the libraries it loads, and no DBus of its own (Debian's Qt Gui brings DBus
# along for itself, which the driver cannot choose).
set -eu
cli=$1
libs=$(ldd "$cli")
needed=$(readelf -d "$cli" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
echo "$libs"
# Without Qt Gui in the list, ldd did not look at the program this test is about.
echo "$libs" | grep -q 'libQt6Gui' || { echo "pyrelto-cli does not load Qt Gui: wrong file?"; exit 1; }
if echo "$libs" | grep -E 'libQt6(Widgets|Network|PrintSupport)'; then
  echo "pyrelto-cli loads the libraries above, which it must not"
  exit 1
fi
if echo "$needed" | grep -E 'libQt6DBus'; then
  echo "pyrelto-cli links Qt DBus itself"
  exit 1
fi
echo "pyrelto-cli loads no Qt Widgets, Network or printer support and links no DBus"
