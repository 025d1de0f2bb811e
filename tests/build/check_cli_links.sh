#!/bin/sh
# pyrelto-cli itself loads no Qt library at all; its module writes the PDFs with Qt Gui and
# nothing of the window: no Qt Widgets or Network anywhere among the libraries it loads, and no
# DBus of its own (Debian's Qt Gui brings DBus along for itself, which the driver cannot choose).
#   check_cli_links.sh CLI MODULE
set -eu
cli=$1
module=$2
if ldd "$cli" | grep 'libQt6'; then
  echo "pyrelto-cli loads the Qt libraries above; only its module may"
  exit 1
fi
libs=$(ldd "$module")
needed=$(readelf -d "$module" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
echo "$libs"
# Without Qt Gui in the list, ldd did not look at the module this test is about.
echo "$libs" | grep -q 'libQt6Gui' || { echo "the module does not load Qt Gui: wrong file?"; exit 1; }
if echo "$libs" | grep -E 'libQt6(Widgets|Network|PrintSupport)'; then
  echo "the module loads the libraries above, which it must not"
  exit 1
fi
if echo "$needed" | grep -E 'libQt6DBus'; then
  echo "the module links Qt DBus itself"
  exit 1
fi
echo "pyrelto-cli loads no Qt; its module no Qt Widgets, Network or printer support, and no DBus"
