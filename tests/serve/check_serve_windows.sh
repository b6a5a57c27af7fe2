#!/usr/bin/env bash
# tessik.exe serve under Wine, reached from the Linux side over loopback
# with curl: its ready line, /health, a search over the samples, an event
# stream to its end, a bad request, and its end when the process is told to
# stop. Runs in the program's folder.
#   check_serve_windows.sh EMULATOR... TESSIK_EXE
set -uo pipefail
program=("$@")
source "$(dirname "$0")/../tools/harness.sh"

"${program[@]}" serve --listen 127.0.0.1:0 >"$work/serve.out" 2>"$work/serve.err" </dev/null &
pid=$!
url=""
for _ in $(seq 600); do
  url=$(tr -d '\r' <"$work/serve.out" | sed -n 's|^tessik serve: listening on \(http://127.0.0.1:[0-9]*/\)$|\1|p')
  [ -n "$url" ] && break
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
if [ -z "$url" ]; then
  status=x out=$(cat "$work/serve.out") err=$(cat "$work/serve.err")
  fail "the server did not print its line"
  finish "tessik.exe serve under Wine"
fi

status=0
out=$(curl -sf --max-time 30 "${url}health") || status=$?
[ "$status" -eq 0 ] && python3 -c '
import json, sys
h = json.loads(sys.argv[1])
assert sorted(s["name"] for s in h["sources"]) == ["glosses", "manpages", "quotes"], h
assert all(s["state"] == "ready" for s in h["sources"]), h
' "$out" || fail "/health names the three samples, ready"

status=0
out=$(curl -sf --max-time 30 "${url}search?q=water&limit=5") || status=$?
[ "$status" -eq 0 ] && python3 -c '
import json, sys
a = json.loads(sys.argv[1])
assert len(a["hits"]) == 5 and a["partial"] is False, a
assert all(p["status"] == 0 for p in a["plugins"]), a["plugins"]
' "$out" || fail "a search over the samples"

status=0
out=$(curl -sN --max-time 30 "${url}search/stream?q=water&limit=5" | tr -d '\r') || status=$?
grep -q '^event: batch' <<<"$out" && grep -q '^event: done' <<<"$out" || fail "an event stream to its end"

status=0
code=$(curl -s --max-time 30 -o /dev/null -w '%{http_code}' "${url}search?q=water&limit=0") || status=$?
out=$code
[ "$code" = 400 ] || fail "a bad request gets 400"

kill -TERM $pid 2>/dev/null
ended=0
for _ in $(seq 200); do
  kill -0 $pid 2>/dev/null || { ended=1; break; }
  sleep 0.05
done
if [ $ended -eq 0 ]; then
  kill -KILL $pid 2>/dev/null
  status=timeout out="" err=$(cat "$work/serve.err")
  fail "the server ends within 10 s of being told to stop"
fi
wait $pid 2>/dev/null
finish "tessik.exe serve under Wine"
