#!/usr/bin/env bash
# Installs what building, running and testing need, from Debian packages.
# Idempotent: packages already present are skipped.
set -euo pipefail
pkgs=(g++ cmake ninja-build pkgconf git
      qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6opengl6-dev libgl-dev
      libzip-dev libsqlite3-dev sqlite3 libxlsxwriter-dev
      qt6-translations-l10n fonts-liberation2 fonts-dejavu-core
      xvfb xauth poppler-utils zip
      cups cups-client printer-driver-cups-pdf
      at-spi2-core python3-pyatspi dbus-x11)
# A caller adds what only it needs: install-deps.sh lintian appstream
pkgs+=("$@")
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
