#!/usr/bin/env bash
# A display session's number is not given to another session while the server that had it is
# still ending: the X server of session A is held (by the shim) after it has closed its listening
# sockets and before it removes its socket's file. Session B, started then, must keep its own
# socket's file once A's server has gone.
#   DisplaySessionTest.sh <display-session.sh> <socket removal shim>
set -uo pipefail
session="$1" shim="$2"
work="$(mktemp -d "${TMPDIR:-/tmp}/display-session-test-XXXXXX")" || exit 1
trap 'touch "$work/release" "$work/a-gone"; wait; rm -rf "$work"' EXIT

fail() { echo "FAILED: $*" >&2; exit 1; }
# Waits for a file, a minute at most.
await() {
  local tries
  for tries in $(seq 600); do [ -e "$1" ] && return 0; sleep 0.1; done
  fail "$2"
}

# A's command ends at once; its server is then held as it ends.
LD_PRELOAD="$shim" QUARVEL_SHIM_HOLD_SOCKET_REMOVAL="$work" \
  bash "$session" sh -c 'echo "$DISPLAY" > "$0/a"' "$work" &
a=$!
await "$work/held" "session A's server did not come to remove its socket's file"

# B records its display, then waits until A's server has gone and checks its socket's file.
bash "$session" sh -c '
  echo "$DISPLAY" > "$0/b"
  for tries in $(seq 600); do [ -e "$0/a-gone" ] && break; sleep 0.1; done
  [ -S "/tmp/.X11-unix/X${DISPLAY#:}" ]' "$work" &
b=$!
await "$work/b" "session B did not start"

touch "$work/release"
wait "$a" || fail "session A ended with $?"
touch "$work/a-gone"
wait "$b" || fail "session B (display $(cat "$work/b")) lost its socket's file when the server of \
session A (display $(cat "$work/a")) ended"
[ "$(cat "$work/a")" != "$(cat "$work/b")" ] || fail "both sessions had display $(cat "$work/a")"
echo "A had $(cat "$work/a"), B had $(cat "$work/b"); B kept its socket's file"
