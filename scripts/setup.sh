#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (only the missing ones) and configures
# a build folder. Usage: scripts/setup.sh [PRESET]   (PRESET: dev, the default, or asan)
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++ cmake make pkg-config libgtest-dev libbenchmark-dev nlohmann-json3-dev
          qt6-base-dev libgl1-mesa-dev poppler-utils xvfb xauth clang libclang-rt-14-dev
          fonts-dejavu-core fonts-wine qt6-translations-l10n
          desktop-file-utils # install test: desktop-file-validate, update-desktop-database
          appstream          # install test: appstreamcli validate
          shared-mime-info   # install test: update-mime-database
          xdg-utils          # install test: xdg-mime query
          libglib2.0-bin     # install test: gio, which xdg-mime asks for a file's type
          dpkg-dev           # scripts/package.sh: dpkg-shlibdeps, dpkg-buildflags
          lintian            # scripts/package.sh: the package check
          x11-utils          # scripts/package_check.sh: xprop on the started window
          mingw-w64          # scripts/test_windows.sh: the cross compilers
          g++-mingw-w64-x86-64-posix # scripts/test_windows.sh: the posix-thread C++ compiler
          googletest         # scripts/test_windows.sh: GoogleTest's sources, built for Windows
          wine64             # scripts/test_windows.sh: runs the Windows test programs
          wine               # scripts/test_windows.sh: the wine and wineboot commands
          clang-format       # the format leg of scripts/test.sh
          clang-tidy         # the tidy leg of scripts/test.sh
          ccache             # scripts/test.sh: rebuilds of unchanged files come from the cache
          qt6-svg-dev        # SVG logos on the offer
          qt6-base-private-dev # app tests: the session end through Qt's own commitData()
          libsqlite3-dev     # the store's embedded engine
          libpq-dev          # the store's PostgreSQL engine (libpq)
          postgresql         # the postgres leg of scripts/test.sh: a throwaway server for the tests
          python3-fonttools  # print/fonts/make_faces.sh: the documents' faces from DejaVu Sans
          groff-base         # the manual pages render without a warning (tests/cli)
          )
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
  else
    echo "Missing packages. Run as root:" >&2
    echo "  apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
fi

preset=${1:-dev}
cmake --preset "$preset" >/dev/null
