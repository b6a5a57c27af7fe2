#!/usr/bin/env bash
# The fixture split into two Xapian shards, each served by its own
# xapian-tcpsrv on a free local port, searched through a stub database that
# names both; and a stub naming a server that is down. Starts and stops the
# servers around the test program.
# The Windows build's programs run under Wine: TESSIK_EMULATOR, when set,
# is the command (its words split on spaces) put in front of the indexer and
# the test program; the servers are the Linux ones either way.
# Usage: run_sharded.sh INDEXER DOCUMENTS.tsv WORKDIR TEST_PROGRAM [ARGS...]
set -euo pipefail
indexer=$1 documents=$2 work=$3
shift 3
read -r -a emulator <<<"${TESSIK_EMULATOR:-}"
rm -rf "$work" && mkdir -p "$work"
"${emulator[@]}" "$indexer" "$documents" "$work/shard0" 0/2 >/dev/null
"${emulator[@]}" "$indexer" "$documents" "$work/shard1" 1/2 >/dev/null

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

# Serves database $1 on a free port; sets `port` and `pid`. A port that is
# taken makes the server exit at once: try another.
serve() {
  local log
  for _ in $(seq 1 40); do
    port=$((20000 + RANDOM % 40000))
    log="$work/server.$port.log"
    # Its own session: on SIGTERM the server signals its whole process group.
    setsid xapian-tcpsrv --port "$port" --interface 127.0.0.1 "$1" >"$log" 2>&1 &
    pid=$!
    for _ in $(seq 1 100); do
      kill -0 "$pid" 2>/dev/null || break
      if grep -q "Listening" "$log"; then pids+=("$pid"); return 0; fi
      sleep 0.05
    done
    kill "$pid" 2>/dev/null || true
  done
  echo "run_sharded.sh: no free port for xapian-tcpsrv" >&2
  return 1
}

serve "$work/shard0"; port0=$port
serve "$work/shard1"; port1=$port
printf 'remote 127.0.0.1:%s\nremote 127.0.0.1:%s\n' "$port0" "$port1" >"$work/sharded.stub"
# A server that was running and is gone: its port refuses connections.
serve "$work/shard0"; kill "$pid"; wait "$pid" 2>/dev/null || true
printf 'remote 127.0.0.1:%s\n' "$port" >"$work/down.stub"

TESSIK_SHARDED_STUB="$work/sharded.stub" TESSIK_DOWN_STUB="$work/down.stub" "${emulator[@]}" "$@"
