#!/usr/bin/env bash
# Installs MinGW-w64 and wine when they are missing, then has a g++ build (KVIZ_LINUX_BUILD,
# default build-wine/) build the Windows programs beside it and run the end-to-end table under
# wine: its ctest entry e2e_wine, which the build runs by itself once both tools are present.
#
# Where wine differs from Windows, and what the table does about it:
# - wine's console wraps output in escape sequences of its own, so the terminal player runs on
#   Linux only.
# - A unix pipe handed to a wine program ends with 0 bytes read rather than ERROR_BROKEN_PIPE,
#   so the table's input pipes reach a Windows program as Windows anonymous pipes made by
#   pipe_run.exe, which wine serves as Windows does. A write into a unix pipe without reader
#   fails with 233 rather than 232 (ERROR_NO_DATA): that row's report is 233 under wine.
# - /dev/full is a character device to wine as well; a write to it fails with 112
#   (ERROR_DISK_FULL), the code Linux's ENOSPC becomes in the Linux build.
# - Closed descriptors, a directory as input, resource limits and signals are unix matters that
#   wine maps in ways of its own (a closed input reads as error 1, a size limit goes unnoticed);
#   those rows run on Linux only.
# - The first run in a new prefix sets the prefix up, prints to stderr and starts wine's
#   service processes, which would keep a test's pipes open: the table's set-up makes a warm-up
#   run and keeps the wine server alive until it ends.
set -euo pipefail
cd "$(dirname "$0")/../.."
export DEBIAN_FRONTEND=noninteractive

installed() { [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]; }
missing=()
command -v i686-w64-mingw32-g++-win32 >/dev/null || missing+=(g++-mingw-w64-i686-win32)
installed wine || missing+=(wine)
installed wine32:i386 || missing+=(wine32:i386)
command -v pytest-3 >/dev/null || missing+=(python3-pytest)
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

build=${KVIZ_LINUX_BUILD:-build-wine}
cmake -S . -B "$build" -DKVIZ_WINE_TESTS=ON >/dev/null
cmake --build "$build" -j2
# A skipped entry here means the tools are still missing, which is a failure of this script.
ctest --test-dir "$build" -R '^e2e_wine$' --output-on-failure | tee "$build/e2e_wine.log"
! grep -q 'Skipped' "$build/e2e_wine.log"
