#!/usr/bin/env bash
# Checks the package made from an existing build folder (default build-ci):
# the menu entry and the AppStream file pass their validators, the package has
# exactly the expected files, its man pages render, and lintian finds no error
# (its warnings are printed). Exits non-zero on any failure.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build-ci}" && pwd)"
"$root/scripts/install-deps.sh" desktop-file-utils appstream lintian dpkg-dev file man-db

echo "== desktop-file-validate"
desktop-file-validate "$root/packaging/velorin.desktop"
echo "== appstreamcli validate --no-net"
appstreamcli validate --no-net "$root"/packaging/*.metainfo.xml

echo "== cpack -G DEB"
rm -f "$build"/velorin_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/velorin_*_amd64.deb)"
ls -l "$deb"

echo "== dpkg-deb -c"
programs=(velorin velorin-report velorin-gendata)
[ -x "$build/tools/sauvegarde/velorin-sauvegarde" ] && programs+=(velorin-sauvegarde)
expected=(./usr/share/applications/velorin.desktop
          ./usr/share/icons/hicolor/scalable/apps/velorin.svg
          ./usr/share/metainfo/io.github.velorin.Velorin.metainfo.xml
          ./usr/share/doc/velorin/copyright
          ./usr/share/doc/velorin/changelog.gz
          ./usr/share/doc/velorin/manuel.md)
for png in "$root"/docs/images/*.png; do
  expected+=("./usr/share/doc/velorin/images/$(basename "$png")")
done
for p in "${programs[@]}"; do
  expected+=("./usr/bin/$p" "./usr/share/man/man1/$p.1.gz")
done
if [[ " ${programs[*]} " == *" velorin-sauvegarde "* ]]; then
  expected+=(./usr/lib/systemd/user/velorin-sauvegarde.service ./usr/lib/systemd/user/velorin-sauvegarde.timer)
fi
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort > "$build/package-files.txt"
cat "$build/package-files.txt"
if ! diff <(printf '%s\n' "${expected[@]}" | sort) "$build/package-files.txt"; then
  echo "check-package: the package's files differ from the expected ones (< expected, > in the package)" >&2
  exit 1
fi

echo "== man pages"
unpacked="$build/package-root"
rm -rf "$unpacked" && dpkg-deb -x "$deb" "$unpacked"
for p in "${programs[@]}"; do
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$unpacked/usr/share/man/man1/$p.1.gz" 2>&1 >/dev/null)"
  if [ -n "$warnings" ]; then
    echo "check-package: $p.1: $warnings" >&2
    exit 1
  fi
done
echo "ok: ${programs[*]}"

echo "== lintian"
# Errors fail the run; warnings and notes are listed.
lintian --fail-on error --display-info "$deb"
echo "check-package: all checks passed"
