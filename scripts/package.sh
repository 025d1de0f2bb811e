#!/usr/bin/env bash
# Builds the Debian package from the committed tree (a clean export of HEAD, so nothing
# uncommitted or generated in the work tree slips in) and checks it with lintian.
#   scripts/package.sh            -> build/package/pyrelto_<version>_<arch>.deb
# Debian's hardening flags come from dpkg-buildflags, as for any Debian package.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null

out=build/package
rm -rf "$out/src" "$out/build"
mkdir -p "$out/src"
git archive HEAD | tar -x -C "$out/src"

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S "$out/src" -B "$out/build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DBUILD_TESTING=OFF -DPYRELTO_BENCH=OFF -DPYRELTO_DEBIAN_DOCS=ON \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DCMAKE_MODULE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$out/build" -j"$(nproc)"
(cd "$out/build" && cpack -G DEB >/dev/null)
deb=$(ls "$out"/build/pyrelto_*.deb)
mv "$deb" "$out/"
deb=$out/$(basename "$deb")
dpkg-deb --info "$deb"
# lintian fails on errors only; the warnings left are listed in the README's "Install" section.
lintian --info --display-level '>=warning' "$deb"
echo "Package: $deb"
