#!/usr/bin/env bash
# tessik serve as a user runs it: the line it prints once ready, a search
# with curl, SIGTERM while a search runs (exit 0 within 2 s, nothing of ours
# left in /dev/shm), and another process stopped (SIGSTOP, as Ctrl-Z does)
# while it holds the machine-wide search lock: the search gets 503 at the
# timeout saying so, /health still answers, and SIGTERM still ends it.
#   check_serve.sh TESSIK STALL_PLUGIN
set -uo pipefail
tessik=$1 stall=$2
program=("$tessik")
source "$(dirname "$0")/../tools/harness.sh"

# serve ARGS...: starts the server; sets pid and url once it printed its line.
serve() {
  "$tessik" serve --listen 127.0.0.1:0 "$@" >"$work/serve.out" 2>"$work/serve.err" &
  pid=$!
  url=""
  for _ in $(seq 300); do
    url=$(sed -n 's|^tessik serve: listening on \(http://127.0.0.1:[0-9]*/\)$|\1|p' "$work/serve.out")
    [ -n "$url" ] && return 0
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
  done
  status=x out=$(cat "$work/serve.out") err=$(cat "$work/serve.err")
  fail "the server did not print its line"
  return 1
}
# ends PID SECONDS: waits up to SECONDS for PID; sets status ("timeout" if not).
ends() {
  for _ in $(seq $(($2 * 20))); do
    if ! kill -0 "$1" 2>/dev/null; then
      wait "$1"
      status=$?
      return
    fi
    sleep 0.05
  done
  status=timeout
  kill -9 "$1" 2>/dev/null
}
ours() { ls /dev/shm 2>/dev/null | grep '^tessik\.' | sort; }
before=$(ours)

# A search, then SIGTERM while a stream of the stalling plugin runs.
if serve --plugin "$stall"; then
  curl -sf "${url}search?q=anything&limit=5" >"$work/found" && grep -q '"stall/1"' "$work/found" ||
    { status=$? out=$(cat "$work/found"); fail "a search with curl"; }
  curl -sN "${url}search/stream?q=anything" >"$work/stream" &
  client=$!
  for _ in $(seq 100); do grep -q '^event: batch' "$work/stream" && break; sleep 0.05; done
  start=$(date +%s%N)
  kill -TERM $pid
  ends $pid 5
  took=$(( ($(date +%s%N) - start) / 1000000 ))
  wait $client 2>/dev/null
  out=$(cat "$work/stream") err=$(cat "$work/serve.err")
  [ "$status" = 0 ] && [ $took -lt 2000 ] || fail "SIGTERM: exit 0 within 2 s (took $took ms)"
  grep -q '"partial":true' "$work/stream" || fail "the running stream ends with what arrived"
  grep -q ' GET /search 200 ' "$work/serve.err" && ! grep -q 'q=anything' "$work/serve.err" ||
    fail "one log line per request, without the query"
  echo "stopped in $took ms"
fi
sleep 0.2
# Names that were there before may go (an exit removes what nobody holds);
# none may be new.
left=$(comm -13 <(echo "$before") <(ours))
[ -z "$left" ] || { status=x out=$left err=""; fail "something of ours is left in /dev/shm"; }

# Another process holds the search lock: its synchronous search sleeps (4 s
# from its start), and it is stopped there; let go, it ends normally.
if serve --plugin "$stall" --timeout 1000; then
  TESSIK_STALL_SYNC_MS=4000 "$tessik" search --plugin "$stall" anything >/dev/null 2>&1 &
  holder=$!
  sleep 1
  kill -STOP $holder
  start=$(date +%s%N)
  code=$(curl -s -o "$work/held" -w '%{http_code}' "${url}search?q=anything")
  took=$(( ($(date +%s%N) - start) / 1000000 ))
  status=$code out=$(cat "$work/held") err=""
  [ "$code" = 503 ] && grep -q 'another process holds the search lock' "$work/held" ||
    fail "a search held up by another process's lock: 503 at the timeout"
  echo "held-up search answered in $took ms"
  code=$(curl -s -o /dev/null -w '%{http_code}' --max-time 2 "${url}health")
  status=$code
  [ "$code" = 200 ] || fail "/health answers while the lock is held"
  kill -TERM $pid
  ends $pid 5
  err=$(cat "$work/serve.err")
  [ "$status" = 0 ] && grep -q 'another process holds the search lock' "$work/serve.err" ||
    fail "SIGTERM with the lock held elsewhere: exit 0, saying so"
  kill -CONT $holder
  ends $holder 10
  [ "$status" = 0 ] || fail "the process that held the lock ends normally once let go"
fi

[ $failures -eq 0 ] && echo "check_serve: passed" || { echo "check_serve: $failures failed"; exit 1; }
