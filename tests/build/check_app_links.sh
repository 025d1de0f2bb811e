#!/bin/sh
# The desktop program's single-instance channel is a plain socket: neither the program nor any
# library it loads brings in Qt Network (and with it the proxy and Kerberos libraries it opens at
# start).
set -eu
app=$1
libs=$(ldd "$app")
needed=$(readelf -d "$app" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
echo "$needed"
# Without Qt Widgets in the list, this is not the program this test is about.
echo "$libs" | grep -q 'libQt6Widgets' || { echo "pyrelto does not load Qt Widgets: wrong file?"; exit 1; }
if echo "$needed" | grep 'libQt6Network'; then
  echo "pyrelto links Qt Network itself"
  exit 1
fi
if echo "$libs" | grep 'libQt6Network'; then
  echo "a library of pyrelto loads Qt Network"
  exit 1
fi
echo "pyrelto neither links nor loads Qt Network"
