# Sourced: start_xvfb starts an X server on a display number the server
# itself finds free, and sets display (":N") and xvfb_pid. Picking the number
# here by the lock files would let two runs started together take the same
# one, the second then driving windows on the first's screen. Returns 1 if
# the server did not come up.
start_xvfb() {
  xvfb_number_file=$(mktemp) || return 1
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$xvfb_number_file" </dev/null >/dev/null 2>&1 &
  xvfb_pid=$!
  # The number is written once the server takes connections.
  for _ in $(seq 100); do
    [ -s "$xvfb_number_file" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  display=$(tr -dc 0-9 < "$xvfb_number_file")
  rm -f "$xvfb_number_file"
  [ -n "$display" ] || { echo "no X server could be started" >&2; return 1; }
  display=":$display"
}
