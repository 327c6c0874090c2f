#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test headless.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELORIN_BUILD_DIR:-$root/build-ci}"
"$root/scripts/install-deps.sh"
# Tests only: the exported workbooks are opened by LibreOffice, headless.
if ! dpkg-query -W -f='${Status}' libreoffice-calc-nogui 2>/dev/null | grep -q 'install ok installed'; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends libreoffice-calc-nogui
fi
"$root/scripts/start-print-queue.sh"
cmake -S "$root" -B "$build" -G Ninja -DVELORIN_WERROR=ON
cmake --build "$build"
# The Debian package made from this build: validators, its files, man pages, lintian.
"$root/scripts/check-package.sh" "$build"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j2
