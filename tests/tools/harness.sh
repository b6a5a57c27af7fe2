# What the command's end-to-end checks share. Sourced after `program` (the
# program with whatever starts it in front) is set: a work folder that goes
# away, XDG folders of its own (never the user's list of sources or cache),
# run and fail, and Ctrl-C on a pseudo-terminal.
work=$(mktemp -d)
trap 'chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
failures=0

# Runs the program; sets status, out and err (without the CR a Windows
# program writes).
run() {
  COLUMNS=${COLUMNS:-100} "${program[@]}" "$@" >"$work/out" 2>"$work/err" </dev/null
  status=$?
  out=$(tr -d '\r' <"$work/out")
  err=$(tr -d '\r' <"$work/err")
}
fail() {
  echo "FAIL: $1"
  printf '  status %s\n  stdout: %s\n  stderr: %s\n' "$status" "$out" "$err"
  failures=$((failures + 1))
}

# interrupt_on_terminal PATTERN ARGUMENTS...: runs the program on a
# pseudo-terminal, presses Ctrl-C once PATTERN shows there (or the program
# has ended), and waits for its end; sets status (or "timeout": each wait
# has a watchdog of 60 s) and out (what the terminal showed).
interrupt_on_terminal() {
  local pattern=$1 pid
  shift
  rm -f "$work/keys"
  mkfifo "$work/keys"
  script -qefc "$(printf '%q ' "${program[@]}" "$@")" /dev/null <"$work/keys" >"$work/tty" 2>&1 &
  pid=$!
  exec 3>"$work/keys"
  for _ in $(seq 600); do
    grep -q "$pattern" "$work/tty" && break
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
  done
  printf '\003' >&3
  for _ in $(seq 600); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then
    kill $pid
    status=timeout
  else
    wait $pid
    status=$?
  fi
  exec 3>&-
  out=$(tr -d '\r' <"$work/tty") err=""
}

# The end of a check: PASS with `what`, or the count of failures.
finish() {
  [ "$failures" -eq 0 ] && echo "PASS: $1" || echo "$failures check(s) failed"
  exit $((failures > 0))
}
