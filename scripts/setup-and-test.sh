#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test headless.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELORIN_BUILD_DIR:-$root/build-ci}"
# Tests only: the exported workbooks are opened by LibreOffice, headless.
"$root/scripts/install-deps.sh" libreoffice-calc-nogui
"$root/scripts/start-print-queue.sh"
cmake -S "$root" -B "$build" -G Ninja -DVELORIN_WERROR=ON
cmake --build "$build"
# The Debian package made from this build: validators, its files, man pages, lintian.
"$root/scripts/check-package.sh" "$build"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j2
