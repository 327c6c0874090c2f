#!/usr/bin/env bash
# Runs the accessibility probe `$1` with windows `$2` and checks its tree with
# check_names.py. Meant to run inside dbus-run-session under xvfb-run.
set -u
probe="$1"; which="$2"; here="$(cd "$(dirname "$0")" && pwd)"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 QT_QPA_PLATFORM=xcb NO_AT_BRIDGE=0
out="$(mktemp)"
"$probe" "$which" >"$out" 2>/dev/null &
pid=$!
for _ in $(seq 1 100); do
  grep -q READY "$out" && break
  kill -0 "$pid" 2>/dev/null || { echo "the probe ended early"; cat "$out"; exit 2; }
  sleep 0.2
done
# Debian's python3, where python3-pyatspi is installed.
py=/usr/bin/python3; [ -x "$py" ] || py=python3
"$py" "$here/check_names.py" velorin-a11y ${VERBOSE:+-v}
rc=$?
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
rm -f "$out"
exit $rc
