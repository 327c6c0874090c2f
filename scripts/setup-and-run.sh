#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on a demo data folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja
cmake --build "$root/build"
demo="$root/demo"
if [ ! -e "$demo/donnees.mdb" ] && [ ! -e "$demo/donnees.MDB" ]; then
  "$root/build/tools/gendata/velorin-gendata" "$demo" --schools 1 --classes 3 --pupils 24 --years 2
fi
# The data folder is named on the command line.
exec "$root/build/src/app/velorin" "$demo"
