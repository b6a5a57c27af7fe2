#!/usr/bin/env bash
# tessik search, synonyms and stems end to end, on the reference plugins'
# fixture (the same eleven documents in every engine's form).
#   check_search.sh HEADER FIXTURE ENGINES STALL PROGRAM...
# HEADER: include/tessik/TessikClient.h (status codes are named, and their
# values read from it); FIXTURE: the fixture folder as the program sees it;
# ENGINES: the engine plugins built besides the plain-files one, in one
# word list ("xapian sqlite" on Linux, "sqlite" on Windows); STALL: the plugin
# whose asynchronous search waits for its abort, or "" where no pseudo-
# terminal test runs (Windows); PROGRAM: tessik, with whatever starts it in
# front (Wine for a Windows build). Runs in the folder the program is in.
set -uo pipefail
header=$1 fixture=$2 engines=$3 stall=$4
shift 4
program=("$@")
source "$(dirname "$0")/harness.sh"

code() { sed -n "s/^ *$1 = \(-[0-9]*\),.*/\1/p" "$header"; }
TESSIK_E_FAILED=$(code TESSIK_E_FAILED)
TESSIK_E_PLUGIN_LOAD_FAILED=$(code TESSIK_E_PLUGIN_LOAD_FAILED)
[ -n "$TESSIK_E_FAILED" ] && [ -n "$TESSIK_E_PLUGIN_LOAD_FAILED" ] || { echo "FAIL: no status codes in $header"; exit 1; }

# The titles of a table, top to bottom, one a line.
titles() {
  awk 'NR == 1 { from = index($0, "title"); to = index($0, "snippet"); next }
       { t = substr($0, from, to - from); sub(/ +$/, "", t); print t }' <<<"$out"
}

# A summary of the JSON on stdout, read with a real parser: one line per
# plugin, "plugin NAME DOMAIN STATUS HITS MORE [error]", then one per hit,
# "hit RANK DOMAIN ID TITLE"; "bad json" when it does not parse.
json_summary() {
  python3 -c '
import json, sys
try:
    doc = json.load(sys.stdin)
except ValueError:
    print("bad json"); sys.exit()
assert doc["query"].startswith("<Query ")
for p in doc["plugins"]:
    print("plugin", p["name"], p["domain"], p["status"], p["hits"], str(p["more"]).lower(), "error" if "error" in p else "")
for h in doc["hits"]:
    print("hit", h["rank"], h["domain"], h["id"], h["title"], "props" if isinstance(h["properties"], dict) else "")
' <<<"$out" | sed 's/ *$//'
}
# The titles of every format, top to bottom, one a line.
xml_titles() { python3 -c '
import sys, xml.dom.minidom as m
doc = m.parseString(sys.stdin.read().encode())
for r in doc.getElementsByTagName("Result"):
    for p in r.getElementsByTagName("Property"):
        if p.getAttribute("name") == "title": print(p.firstChild.data if p.firstChild else "")
' <<<"$out"; }
json_titles() { python3 -c '
import json, sys
for h in json.load(sys.stdin)["hits"]: print(h["title"])
' <<<"$out"; }

data=(--data "files=$fixture/quotes.index")
domains=(files)
# Each engine's fixture is fixture.<engine>.
for e in $engines; do
  data+=(--data "$e=$fixture/fixture.$e")
  domains+=("$e")
done

# Table: every plugin's hits merged, best first, the line fitted to the width
# (each plugin's own scores, so the best is 1).
COLUMNS=60 run search "${data[@]}" --merge plugin car
ok=1
[ "$status" -eq 0 ] && [ -z "$err" ] && [[ $(head -1 <<<"$out") == "rank  score  domain"*title* ]] || ok=0
[ "$(sed -n 2p <<<"$out" | cut -c1-12)" = "   1  1.000 " ] || ok=0
for d in "${domains[@]}"; do grep -q "^ *[0-9]*  [01]\.[0-9]*  $d " <<<"$out" || ok=0; done
[ "$(grep -c 'Old Car Repair' <<<"$out")" -eq "${#domains[@]}" ] || ok=0
awk 'length($0) > 60 { bad = 1 } END { exit bad }' <<<"$out" || ok=0
[ $ok = 1 ] || fail "table over every plugin"

# Field, Not, Or, category, sort and limit, through the plain-files plugin.
q=(--data "files=$fixture/quotes.index")
run search "${q[@]}" --field title --sort title car
[ "$status" -eq 0 ] && [ "$(titles)" = $'Fast car\nOld Car Repair' ] || fail "--field title"
run search "${q[@]}" --field text car
[ "$status" -eq 0 ] && [ "$(titles)" = "Old Car Repair" ] || fail "--field text"
run search "${q[@]}" --not engine car
[ "$status" -eq 0 ] && [ "$(titles)" = "Fast car" ] || fail "--not"
run search "${q[@]}" --category cooking --not apple
[ "$status" -eq 0 ] && [ "$(titles)" = "Bread" ] || fail "--category with only --not"
run search "${q[@]}" --any --sort title bicycle car
[ "$status" -eq 0 ] && [ "$(titles)" = $'Bicycle\nFast car\nOld Car Repair' ] || fail "--any --sort title"
run search "${q[@]}" --any --limit 2 bicycle car
[ "$status" -eq 0 ] && [ "$(titles | wc -l)" -eq 2 ] || fail "--limit"
run search "${q[@]}" --stem geese
[ "$status" -eq 0 ] && [ "$(titles)" = "Geese in flight" ] || fail "--stem"

# JSON: one object; a plugin that fails is a plugin entry, never a hit.
# Every engine serves the same fixture, so each document is one hit that
# names every engine, while each plugin is credited with what it returned.
run search "${data[@]}" --format json car
summary=$(json_summary)
ok=1
[ "$status" -eq 0 ] || ok=0
for d in "${domains[@]}"; do grep -qx "plugin Plugins/$d $d 0 2 false" <<<"$summary" || ok=0; done
[ "$(grep -c '^hit .* props$' <<<"$summary")" -eq 2 ] || ok=0
python3 -c 'import json, sys; assert all(len(h["domains"]) == int(sys.argv[1]) for h in json.load(sys.stdin)["hits"])' \
  ${#domains[@]} <<<"$out" || ok=0
grep -q '^hit 1 ' <<<"$summary" || ok=0
[ $ok = 1 ] || fail "json"
sync_json=$out

# Two copies of one plugin under one domain: each is credited with the hits
# it returned (two each), though every document is shown once. (Linux: a
# copy outside the build, where the Windows build under Wine would need its
# path written for Windows.)
if [ -f Plugins/files.so ]; then
  mkdir -p "$work/copy"
  cp Plugins/files.so "$work/copy/files2.so"
  cp Plugins/files.conf "$work/copy/files2.conf"
  run search --plugin Plugins/files.so --plugin "$work/copy/files2.so" --data "files=$fixture/quotes.index" \
    --format json car
  expected=$(printf 'plugin Plugins/files.so files 0 2 false\nplugin %s files 0 2 false' "$work/copy/files2.so")
  [ "$status" -eq 0 ] && [ "$(json_summary | grep '^plugin ')" = "$expected" ] &&
    [ "$(json_summary | grep -c '^hit ')" -eq 2 ] || fail "two copies of one plugin"
fi

run search --data "files=$fixture/no-such-folder" --format json car
[ "$status" -eq 1 ] && [ "$(json_summary)" = "plugin Plugins/files files $TESSIK_E_FAILED 0 false error" ] &&
  grep -q 'TESSIK_E_FAILED' <<<"$err" || fail "a plugin that fails its search (json)"
run search --data "files=$fixture/no-such-folder" car
[ "$status" -eq 1 ] && [ -z "$out" ] && grep -q 'plugin .*files failed' <<<"$err" || fail "a plugin that fails its search (table)"

# XML: the ranked results document, one Result per hit.
run search "${data[@]}" --format xml car
[ "$status" -eq 0 ] && [[ $out == '<?xml version="1.0" encoding="UTF-8"'* ]] && [[ $out == *'</Results>' ]] &&
  [ "$(grep -o '<Result ' <<<"$out" | wc -l)" -eq 2 ] || fail "xml"

# Every format in both kinds of search draws on one ranked, limited list:
# the same titles in the same order, and the same exit status when nothing
# matches.
# "car" in the title and the text leads, "car" in the title alone comes
# next, each once however many engines found it.
expected=$'Old Car Repair\nFast car'
matrix_start=$(date +%s%N)
for mode in sync async; do
  extra=()
  [ $mode = async ] && extra=(--async --poll 10)
  run search "${data[@]}" "${extra[@]}" --limit 3 car
  [ "$status" -eq 0 ] && [ "$(titles)" = "$expected" ] || fail "$mode table --limit 3"
  run search "${data[@]}" "${extra[@]}" --limit 3 --format json car
  [ "$status" -eq 0 ] && [ "$(json_titles)" = "$expected" ] || fail "$mode json --limit 3"
  run search "${data[@]}" "${extra[@]}" --limit 3 --format xml car
  [ "$status" -eq 0 ] && [ "$(xml_titles)" = "$expected" ] || fail "$mode xml --limit 3"
  run search "${data[@]}" "${extra[@]}" --sort title --limit 2 --any car bicycle
  [ "$status" -eq 0 ] && [ "$(titles)" = $'Bicycle\nFast car' ] || fail "$mode --sort title --limit 2"
  for format in table json xml; do
    run search "${data[@]}" "${extra[@]}" --format $format xyzzyqqq
    [ "$status" -eq 0 ] || fail "$mode $format, no match: exit 0"
    [ $format = xml ] && { [[ $out == *'<Results/>' ]] || fail "$mode xml, no match: <Results/>"; }
    [ $format = table ] && { [ -z "$out" ] || fail "$mode table, no match: nothing printed"; }
  done
done
echo "format matrix: $(( ($(date +%s%N) - matrix_start) / 1000000 )) ms"

# The source limit reaches every plugin when no domain is named, and a cut says so.
run search "${data[@]}" --format json --limit 1 --source-limit 1 --any the a
summary=$(json_summary)
[ "$status" -eq 0 ] && [ "$(grep -c '^hit ' <<<"$summary")" -eq 1 ] &&
  [ "$(grep -c '^plugin .* 1 true$' <<<"$summary")" -eq ${#domains[@]} ] || fail "--limit reaches every plugin"
run search "${q[@]}" --any the a
[ "$status" -eq 0 ] && ! grep -q 'more matches' <<<"$err" || fail "no cut, no note"

# Asynchronous: the same hits as the synchronous search, in the same order
# once all have come.
run search "${data[@]}" --async --poll 10 --format json car
[ "$status" -eq 0 ] && [ "$(json_summary | grep '^hit')" = "$(out=$sync_json json_summary | grep '^hit')" ] ||
  fail "--async json"
run search "${q[@]}" --async --synonyms automobile
[ "$status" -eq 0 ] && [ "$(titles | sort)" = $'Fast car\nOld Car Repair' ] || fail "--async --synonyms"

# A document holding characters XML cannot carry: its hit and the others
# arrive, cleaned, in every kind of search.
for extra in "" "--async"; do
  run search "${data[@]}" $extra --any --format json zebra fox
  [ "$status" -eq 0 ] && [ "$(json_summary | grep -c '^hit ')" -eq 2 ] &&
    grep -q $'Zebra\xef\xbf\xbdcrossing' <<<"$out" || fail "characters XML cannot carry ($extra)"
done

# Query files: a good one (its plugin pointed at the fixture by --data), a
# missing one, one that is no XML, one that is no query, one that sets data,
# a folder, and one too large.
printf '<Query><Domain><Name>files</Name></Domain><TermGroup><Term><Text>bread</Text></Term></TermGroup></Query>\n' \
  >"$work/query.xml"
printf '<Query><Domain><Name>files</Name><Property name="data">/etc/default</Property></Domain><TermGroup><Term><Text>bread</Text></Term></TermGroup></Query>\n' \
  >"$work/data.xml"
printf '<Query><TermGroup>' >"$work/broken.xml"
printf '<Foo/>' >"$work/foo.xml"
head -c 1100000 /dev/zero | tr '\0' ' ' >"$work/large.xml"
run search --query "$work/query.xml" --data "files=$fixture/quotes.index"
[ "$status" -eq 0 ] && [ "$(titles)" = "Bread" ] || fail "--query"
for bad in no-such.xml broken.xml foo.xml data.xml large.xml .; do
  run search --domain files --query "$work/$bad"
  [ "$status" -eq 3 ] && [ -z "$out" ] && [ -n "$err" ] || fail "--query $bad: exit 3"
done
run search --query "$work/data.xml"
grep -q '"data" property' <<<"$err" || fail "--query with data: the message"
run search --query "$work/foo.xml"
grep -q 'no query' <<<"$err" || fail "--query <Foo/>: the message"
run search --query "$work/broken.xml"
grep -q 'TESSIK_E_XML_INVALID' <<<"$err" || fail "--query, no XML: the message"

# Words with nothing to search for, and option values that mean nothing.
refused() {
  run search "$@"
  [ "$status" -eq 2 ] && [ -z "$out" ] && [ -n "$err" ] || fail "refused: $*"
}
refused -- ''
refused '!!!'
refused '"'
refused -
refused $'a\x01b'
refused --field titel fork
refused --sort nosuch fork
refused --not apple

# Output that cannot be written: a message and exit 4.
if [ -w /dev/full ] && [ ${#program[@]} -eq 1 ]; then
  COLUMNS=100 "${program[@]}" search "${q[@]}" car >/dev/full 2>"$work/err" </dev/null
  status=$?
  err=$(cat "$work/err") out=""
  [ "$status" -eq 4 ] && grep -q 'writing the output' <<<"$err" || fail "output to /dev/full"
fi

# Unknown domains, and a plugin that cannot be loaded beside one that can.
run search --domain no-such-domain car
[ "$status" -eq 1 ] && grep -q 'loading plugin Plugins/no-such-domain: TESSIK_E_PLUGIN_LOAD_FAILED' <<<"$err" ||
  fail "unknown domain"
run search --plugin "Plugins/files" --domain no-such-domain car
[ "$status" -eq 1 ] && [ -z "$out" ] && grep -q 'no plugin answered' <<<"$err" || fail "unknown domain, plugin named"
run search --plugin "$work/no-such-plugin" --plugin Plugins/files "${q[@]}" --format json car
summary=$(json_summary)
[ "$status" -eq 1 ] && grep -q 'TESSIK_E_PLUGIN_LOAD_FAILED' <<<"$err" &&
  grep -qx "plugin $work/no-such-plugin no-such-plugin $TESSIK_E_PLUGIN_LOAD_FAILED 0 false error" <<<"$summary" &&
  [ "$(grep -c '^hit ' <<<"$summary")" -eq 2 ] || fail "a plugin that fails to load"

# The command line: usage errors, help, word look-ups.
for args in "search" "search --format yaml car" "search --bogus car" "search --limit 0 car" \
  "search --query x.xml car" "synonyms" "stems a b"; do
  run $args
  [ "$status" -eq 2 ] && [ -z "$out" ] && [ -n "$err" ] || fail "usage error: $args"
done
for args in "search --help" "help search" "--help" "synonyms --help" "sources --help" "help sources"; do
  run $args
  [ "$status" -eq 0 ] && grep -q 'Exit status' <<<"$out" || fail "help: $args"
done
run synonyms car
[ "$status" -eq 0 ] && grep -qx 'automobile' <<<"$out" || fail "synonyms car"
run stems geese
[ "$status" -eq 0 ] && grep -qx 'goose' <<<"$out" || fail "stems geese"

# Ctrl-C in an asynchronous search on a terminal: the live line shows the
# batch, the search is aborted, and the hit that came is printed.
if [ -n "$stall" ]; then
  interrupt_on_terminal 'searching: 1 batch, stall 1' search --plugin "$stall" --merge plugin --async --poll 10 word
  [ "$status" = 130 ] && grep -q 'searching: 1 batch, stall 1' <<<"$out" &&
    grep -q '^   1  0.500  stall .*Waiting for the abort' <<<"$out" && grep -q 'interrupted' <<<"$out" ||
    fail "Ctrl-C during an asynchronous search"
fi

finish "tessik search, synonyms and stems"
