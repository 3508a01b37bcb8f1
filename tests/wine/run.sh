#!/usr/bin/env bash
# Builds kviz for 32-bit Windows with MinGW-w64 and for Linux, then runs the same end-to-end
# cases against both, the Windows programs under wine (tests/wine/cases.py). Installs what is
# missing first. Builds and wine prefix live in $KVIZ_WINE_BUILD (default build-wine/);
# KVIZ_LINUX_BUILD names a Linux build directory to use instead of building one.
#
# Where wine differs from Windows, and what this run does about it:
# - wine's console wraps output in escape sequences of its own, so no terminal case runs here.
# - A unix pipe handed to a wine program ends with 0 bytes read rather than ERROR_BROKEN_PIPE,
#   and a write into one without reader fails with 233 rather than 232 (ERROR_NO_DATA). The
#   pipe cases therefore also run over Windows anonymous pipes (pipe_run.exe), which wine
#   serves as Windows does.
# - /dev/full is a character device to wine as well; a write to it fails with 112
#   (ERROR_DISK_FULL), the code Linux's ENOSPC becomes in the Linux build.
# - The first run in a new prefix sets the prefix up, prints to stderr and starts wine's
#   service processes, which would keep the test's pipes open; a warm-up run takes that, and
#   the wine server is kept alive for the whole run.
set -euo pipefail
cd "$(dirname "$0")/../.."
export DEBIAN_FRONTEND=noninteractive

started=$SECONDS
build=${KVIZ_WINE_BUILD:-build-wine}
mingw_cxx=i686-w64-mingw32-g++-win32

# ---- Install what is missing -----------------------------------------------------------------
installed() { [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]; }
missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++)
command -v python3 >/dev/null || missing+=(python3)
command -v strace >/dev/null || missing+=(strace)
[ -e /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
command -v "$mingw_cxx" >/dev/null || missing+=(g++-mingw-w64-i686-win32)
installed wine || missing+=(wine)
installed wine32:i386 || missing+=(wine32:i386)
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
  echo "== installed in $((SECONDS - started)) s"
fi

# ---- Build ------------------------------------------------------------------------------------
echo "== Windows build (MinGW-w64 i686)"
cmake -S . -B "$build/win" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DKVIZ_WERROR=ON >/dev/null
cmake --build "$build/win" -j2
"$mingw_cxx" -std=c++20 -O2 -Wall -Wextra -Wpedantic -Werror -static \
  -o "$build/win/pipe_run.exe" tests/wine/pipe_run.cpp

linux=${KVIZ_LINUX_BUILD:-}
if [ -z "$linux" ]; then
  echo "== Linux build"
  linux=$build/linux
  cmake -S . -B "$linux" -DKVIZ_BENCH=OFF -DKVIZ_WERROR=ON >/dev/null
  cmake --build "$linux" -j2 --target kviz kviz_scripted fault_probe
fi

# ---- wine prefix --------------------------------------------------------------------------------
WINEPREFIX=$(realpath -m "$build/prefix")
export WINEARCH=win32 WINEDEBUG=-all WINEPREFIX
# No offer to install .NET or HTML support into the new prefix.
export WINEDLLOVERRIDES="mscoree=;mshtml="
mkdir -p "$WINEPREFIX"
# A server left from an earlier run of this script goes; the new one stays up between the
# cases (the services it starts live with it) and is stopped on the way out.
wineserver -k 2>/dev/null || true
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
echo "== wine prefix $WINEPREFIX, warm-up run"
wine "$build/win/kviz.exe" </dev/null >/dev/null 2>&1 || true

# ---- The cases ----------------------------------------------------------------------------------
echo "== cases (building and setting up took $((SECONDS - started)) s)"
status=0
python3 tests/wine/cases.py --linux "$linux" --windows "$build/win" || status=$?
exit $status
