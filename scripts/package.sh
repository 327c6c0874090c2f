#!/usr/bin/env bash
# Builds the Debian package velorin_<version>_amd64.deb (Release build in
# build-package/, Debian's hardening flags) and prints its path. Install it with
#   sudo apt install ./velorin_<version>_amd64.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELORIN_PACKAGE_DIR:-$root/build-package}"
# dpkg-dev: dpkg-shlibdeps (the dependencies) and dpkg-buildflags; file: to strip.
"$root/scripts/install-deps.sh" dpkg-dev file >&2
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# From the source root: dpkg-buildflags maps the current folder out of the debug paths.
cd "$root"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
# Only what the package holds: no tests, no benchmarks.
cmake --build "$build" --target velorin_package_contents >&2
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls -t "$build"/velorin_*_amd64.deb | head -n1)"
echo "$deb"
