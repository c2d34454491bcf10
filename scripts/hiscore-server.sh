# Starting and stopping a hiscore server for a script that sources this file (tests, benchmark).
# hiscore_start LOG SERVER [ARGS...] starts SERVER (blubbi-hiscore or the test server) on a free port of
# the loopback address with its output in LOG, waits until it says where it listens and sets hiscore_url
# (as it printed it, without the closing slash) and hiscore_pid; a server that does not come up ends the
# script with its log. hiscore_stop ends it again; call it from the script's EXIT trap.
# shellcheck shell=bash

hiscore_pid=""
hiscore_url=""

hiscore_start() {
  local log=$1
  shift
  # The log exists before the server starts: the background shell may open it after the first look.
  : >"$log"
  "$@" --listen 127.0.0.1:0 >>"$log" 2>&1 &
  hiscore_pid=$!
  hiscore_url=""
  local _
  for _ in $(seq 200); do
    hiscore_url=$(sed -n 's|^blubbi-hiscore: listening on \(http://[^ ]*\)/$|\1|p' "$log" || true)
    [ -n "$hiscore_url" ] && return 0
    kill -0 "$hiscore_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "hiscore server did not start:" >&2
  cat "$log" >&2
  exit 1
}

hiscore_stop() {
  if [ -n "$hiscore_pid" ]; then
    kill "$hiscore_pid" 2>/dev/null || true
    wait "$hiscore_pid" 2>/dev/null || true
    hiscore_pid=""
  fi
}
