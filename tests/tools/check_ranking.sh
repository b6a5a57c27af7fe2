#!/usr/bin/env bash
# How tessik search ranks the hits of several sources together, end to
# end: two folder sources over overlapping folders (every file of the inner
# one found twice), and the bundled samples where the build made them. An
# asynchronous search ends with the table a synchronous one prints; one
# document is shown once, with every source that returned it.
#   check_ranking.sh PROGRAM...
# Runs in the folder the program is in.
set -uo pipefail
program=("$@")
source "$(dirname "$0")/harness.sh"

# "rank domain id score domains" per hit of the JSON on stdout.
table() {
  python3 -c '
import json, sys
for h in json.load(sys.stdin)["hits"]:
    print(h["rank"], h["domain"], h["id"], h["score"], ",".join(h["domains"]))
' <<<"$out"
}

# 240 documents of words from a small vocabulary, a third of them in an
# inner folder; some words are rare, some in nearly every document.
docs=$work/docs
mkdir -p "$docs/inner"
awk -v docs="$docs" 'BEGIN {
  split("amber basil cedar delta ember fjord garnet harbor indigo juniper kelp lumen", common, " ")
  split("quasar zephyr", rare, " ")
  seed = 11
  for (d = 0; d < 240; d++) {
    file = docs (d % 3 == 0 ? "/inner" : "") "/doc" d ".txt"
    text = "Document " d "\n"
    n = 5 + d % 17
    for (w = 0; w < n; w++) {
      seed = (seed * 1103515245 + 12345) % 2147483648
      text = text common[1 + int(seed / 65536) % (1 + d % 12)] " "
    }
    if (d % 37 == 0) text = text rare[1 + d % 2] "\n"
    printf "%s\n", text > file
    close(file)
  }
}'
run sources add outer "$docs"
[ "$status" -eq 0 ] || fail "add the outer folder"
run sources add inner "$docs/inner"
[ "$status" -eq 0 ] || fail "add the inner folder"
sources=(--source outer --source inner)
[ -f samples.conf ] && sources+=(--source quotes --source glosses --source manpages)

# One document from two sources is one hit, credited to both.
run search --source outer --source inner --format json --limit 200 quasar
[ "$status" -eq 0 ] || fail "overlapping folders: search"
hits=$(table)
[ "$(wc -l <<<"$hits")" -eq 4 ] || fail "overlapping folders: doc0, 74, 148 and 222 once each"
[ "$(grep -c ' inner,outer$\| outer,inner$' <<<"$hits")" -eq 2 ] || fail "overlapping folders: the inner ones carry both sources"
python3 -c '
import json, sys
d = json.load(sys.stdin)
assert d["merge"] == "stats"
plugins = {p["domain"]: p["hits"] for p in d["plugins"]}
assert plugins == {"outer": 4, "inner": 2}, plugins
for h in d["hits"]:
    assert set(h["source_ranks"]) == set(h["domains"])
    assert not any(k.startswith("bm25-") or k == "source-rank" for k in h["properties"])
' <<<"$out" || fail "overlapping folders: the plugin list credits each source, the JSON names the merge"

# An asynchronous search ends with what a synchronous one prints, in every
# merge, for 50 queries of one word, two words, or either of two.
vocabulary=(amber basil cedar delta ember fjord garnet harbor indigo juniper kelp lumen quasar zephyr)
[ -f samples.conf ] && vocabulary+=(love time water memory light file system process)
differ=0
for q in $(seq 0 49); do
  a=${vocabulary[$((q % ${#vocabulary[@]}))]}
  b=${vocabulary[$(((q * 7 + 3) % ${#vocabulary[@]}))]}
  case $((q % 3)) in
    0) words=("$a") ;;
    1) words=("$a" "$b") ;;
    2) words=(--any "$a" "$b") ;;
  esac
  merges=(stats rrf minmax plugin)
  merge=${merges[$((q % 4))]}
  run search "${sources[@]}" --merge "$merge" --format json --limit 15 "${words[@]}"
  sync=$(table)
  run search "${sources[@]}" --merge "$merge" --format json --limit 15 --async --poll 1 "${words[@]}"
  [ "$status" -eq 0 ] && [ "$(table)" = "$sync" ] || { differ=$((differ + 1)); echo "differs: $merge ${words[*]}"; }
done
[ $differ -eq 0 ] || fail "asynchronous equals synchronous ($differ of 50 differ)"

# jsonl: an object per batch while it runs, then the final one.
run search "${sources[@]}" --format jsonl --limit 5 --async --poll 1 --any amber quasar
python3 -c '
import json, sys
lines = [json.loads(l) for l in sys.stdin.read().splitlines()]
assert len(lines) >= 2 and all("batch" in l for l in lines[:-1]), lines
assert "plugins" in lines[-1] and len(lines[-1]["hits"]) == 5
assert lines[-1]["hits"] == [h for h in lines[-1]["hits"]][:5]
' <<<"$out" || fail "jsonl: batches, then the final object"

run search "${sources[@]}" --merge best amber
[ "$status" -eq 2 ] && grep -q -- '--merge takes stats, rrf, minmax or plugin' <<<"$err" || fail "--merge best: refused"

finish "ranking across sources"
