#!/usr/bin/env bash
# Runs a command under its own Xvfb server on a free display, and stops the server
# afterwards. Usage: with_xvfb.sh [-s "Xvfb options"] command [args...]
# The command's exit status is the script's.
set -euo pipefail

screen="-screen 0 1024x768x24"
if [ "${1:-}" = "-s" ]; then
  screen="$2"
  shift 2
fi

fdfile=$(mktemp)
# Xvfb picks a free display and writes its number to fd 3 once it accepts clients.
# shellcheck disable=SC2086
Xvfb -displayfd 3 -nolisten tcp -noreset $screen 3>"$fdfile" 2>/dev/null &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -f "$fdfile"' EXIT

for _ in $(seq 1 200); do
  [ -s "$fdfile" ] && break
  kill -0 "$server" 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
  sleep 0.05
done
[ -s "$fdfile" ] || { echo "Xvfb did not report a display" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$fdfile")"

status=0
"$@" || status=$?
exit "$status"
