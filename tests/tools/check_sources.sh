#!/usr/bin/env bash
# tessik sources and tessik search --source end to end, in temporary XDG
# folders (never the user's own list or cache): a folder source added,
# searched, changed and updated; an sqlite source over a table made here; a
# Xapian database that omindex builds here; bad input refused without a
# change; a source whose folder goes away.
#   check_sources.sh PROGRAM...
# PROGRAM: tessik, with whatever starts it in front. Runs in the folder the
# program is in.
set -uo pipefail
program=("$@")
source "$(dirname "$0")/harness.sh"
list=$XDG_CONFIG_HOME/tessik/sources.conf
# "DOMAIN|TITLE" per hit of the JSON on stdout, sorted; a property with -p NAME.
hits() {
  python3 -c '
import json, sys
prop = sys.argv[1] if len(sys.argv) > 1 else None
for h in json.load(sys.stdin)["hits"]:
    print(h["domain"] + "|" + h["title"] + ("|" + h["properties"].get(prop, "") if prop else ""))
' "$@" <<<"$out" | sort
}
# The counts of the summary line of source $1: "indexed unchanged skipped removed".
counts() {
  sed -n "s/^$1: [0-9]* files: \([0-9]*\) indexed, \([0-9]*\) unchanged, \([0-9]*\) skipped, \([0-9]*\) removed.*/\1 \2 \3 \4/p" <<<"$out"
}
state_of() { awk -v n="$1" '$1 == n { print $NF }' <<<"$out"; }

# With no list: the bundled samples (where the build made them), and
# "list" says there is no list yet.
run sources list
[ "$status" -eq 0 ] && grep -q '^# no list at ' <<<"$out" || fail "list without a list"
[ -f samples.conf ] && samples=1 || samples=0
if [ $samples = 1 ]; then
  grep -q '^quotes ' <<<"$out" || fail "list without a list: the samples"
  run search --format json --limit 200 love
  # Not grep -q: it stops reading at the first match, and under pipefail
  # the writer's broken pipe would fail the line.
  [ "$status" -eq 0 ] && hits | grep '^quotes|' >/dev/null || fail "search without a list: the samples"
fi

# A folder of documents, one of each kind and each reason to skip.
docs=$work/docs
mkdir -p "$docs/notes" "$docs/.hidden" "$docs/.git" "$docs/web"
printf 'Apple pie\nbaking with cinnamon and apples\n' >"$docs/a.txt"
printf '# Rust notes\n\nownership, borrowing and cinnamon\n' >"$docs/notes/b.md"
printf '<html><head><title>Spice Page</title></head><body><p>cinnamon <b>toast</b></p></body></html>\n' >"$docs/web/c.html"
printf 'cinnamon\0binary' >"$docs/d.bin"
head -c 3000 /dev/zero | tr '\0' 'x' >"$docs/big.txt"; printf ' cinnamon\n' >>"$docs/big.txt"
printf 'Hidden\ncinnamon\n' >"$docs/.hidden/h.txt"
printf 'cinnamon\n' >"$docs/.git/config"
printf 'Scratch\ncinnamon\n' >"$docs/scratch.tmp"

run sources add mydocs "$docs" --max-size 2K --exclude '*.tmp'
[ "$status" -eq 0 ] && [ "$(counts mydocs)" = "3 0 2 0" ] || fail "add a folder: indexed 3, skipped 2 (binary, too big)"
grep -q 'skipped .*d.bin' <<<"$out" && grep -q 'skipped .*big.txt' <<<"$out" || fail "add: the skipped files and why"
[[ "$err" != *$'\r'* ]] || fail "add off a terminal: no live line"
[ -f "$list" ] && grep -q '^\[mydocs\]' "$list" && grep -q '^exclude = \*.tmp' "$list" || fail "add writes the list"
[ $samples = 0 ] || grep -q '^\[quotes\]' "$list" || fail "the first add starts the list with the samples"

run search --source mydocs --format json cinnamon
[ "$status" -eq 0 ] && [ "$(hits)" = $'mydocs|Apple pie\nmydocs|Rust notes\nmydocs|Spice Page' ] ||
  fail "search a folder source: its titles"
run search --source mydocs --format json toast
[ "$(hits url)" = "mydocs|Spice Page|file://$docs/web/c.html" ] || fail "a hit's url"
[ "$(hits type)" = "mydocs|Spice Page|text/html" ] || fail "a hit's type"
printf '<Query><Domain><Name>mydocs</Name></Domain><TermGroup><Term><Text>toast</Text></Term></TermGroup></Query>' \
  >"$work/q.xml"
run search --query "$work/q.xml" --format json
[ "$status" -eq 0 ] && [ "$(hits)" = "mydocs|Spice Page" ] || fail "a query file's domain names a source"
run search --query "$work/q.xml" --source mydocs
[ "$status" -eq 2 ] || fail "--source beside a query file that names its domains"
run search --source mydocs --category notes --format json cinnamon
[ "$(hits)" = "mydocs|Rust notes" ] || fail "the first folder level is the category"

# Changes: one changed, one deleted, one added, one renamed.
sleep 1.1  # a modification time the index can tell from the last
printf 'Apple tart\nnutmeg only\n' >"$docs/a.txt"
rm "$docs/web/c.html"
printf 'Fresh note\ncinnamon buns\n' >"$docs/e.txt"
mv "$docs/notes/b.md" "$docs/notes/f.md"
run sources list
[ "$(state_of mydocs)" = stale ] || fail "list: a changed folder is stale"
run sources update mydocs
[ "$status" -eq 0 ] && [ "$(counts mydocs)" = "3 0 2 2" ] || fail "update: 3 indexed (changed, new, renamed), 2 removed"
run search --source mydocs --format json cinnamon
[ "$(hits)" = $'mydocs|Fresh note\nmydocs|Rust notes' ] || fail "search after the update"
run sources update
[ "$status" -eq 0 ] && [ "$(counts mydocs)" = "0 3 2 0" ] || fail "an update with nothing changed reads nothing"
run sources list
[ "$(state_of mydocs)" = ready ] || fail "list: ready after the update"

# An sqlite source over an FTS5 table made here.
python3 - "$work/wiki.db" <<'EOF'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
db.execute("CREATE VIRTUAL TABLE pages USING fts5(heading, content, link UNINDEXED)")
db.executemany("INSERT INTO pages VALUES (?, ?, ?)", [
    ("Cinnamon", "a spice from the bark of trees", "https://wiki.example/cinnamon"),
    ("Pepper", "a spice from berries", "https://wiki.example/pepper")])
db.execute("CREATE TABLE plain (x)")
db.commit()
EOF
sum_before=$(md5sum "$work/wiki.db")
run sources add wiki "$work/wiki.db" --table pages --title heading --text content --url link
[ "$status" -eq 0 ] || fail "add an sqlite source"
run search --source wiki --format json bark
[ "$status" -eq 0 ] && [ "$(hits url)" = "wiki|Cinnamon|https://wiki.example/cinnamon" ] || fail "search an sqlite source"
[ "$(md5sum "$work/wiki.db")" = "$sum_before" ] || fail "an sqlite source is never written"

# Every source at once, and a source whose folder goes away: it fails, the
# others answer, and the exit status says so.
mkdir "$work/gone" && printf 'Doomed\ncinnamon\n' >"$work/gone/g.txt"
run sources add doomed "$work/gone"
rm -rf "$work/gone"
run search --format json cinnamon
[ "$status" -eq 1 ] && hits | grep '^mydocs|' >/dev/null && grep -q 'doomed' <<<"$err" || fail "a source whose path is gone"
python3 -c '
import json, sys
d = {p["domain"]: p for p in json.load(sys.stdin)["plugins"]}
assert "error" in d["doomed"] and "error" not in d["mydocs"]
' <<<"$out" || fail "the gone source's report"

# Bad input: a message, a non-zero exit, and the list as it was.
before=$(md5sum "$list")
refused() {
  local why=$1; shift
  run "$@"
  [ "$status" -ne 0 ] && [ -n "$err" ] && [ "$(md5sum "$list")" = "$before" ] || fail "refused: $why"
}
refused "a missing path" sources add nothere "$work/no-such-folder"
refused "a file where a folder is needed" sources add afile "$docs/e.txt" --engine files
refused "a file that is nothing to search" sources add afile "$docs/e.txt"
refused "a duplicate name" sources add mydocs "$docs"
refused "a name with /" sources add a/b "$docs"
refused "a name too long" sources add "$(printf 'n%.0s' {1..65})" "$docs"
refused "a missing table" sources add w2 "$work/wiki.db" --table nosuch
grep -q 'pages' <<<"$err" || fail "a missing table: the message names the tables there"
refused "a missing column" sources add w2 "$work/wiki.db" --table pages --title nosuch
grep -q 'heading' <<<"$err" || fail "a missing column: the message names the columns there"
refused "a table that is not FTS5" sources add w2 "$work/wiki.db" --table plain
refused "remove an unknown source" sources remove nosuch
refused "update an unknown source" sources update nosuch
refused "a folder option on an sqlite source" sources add w3 "$work/wiki.db" --exclude x

# A malformed list is named with its line, and never overwritten.
printf '[ok]\nengine = files\npath = /tmp\n[bad name!]\n' >"$work/bad.conf"
bad_before=$(md5sum "$work/bad.conf")
run sources add x "$docs" --config "$work/bad.conf"
[ "$status" -eq 1 ] && grep -q 'bad.conf:4:' <<<"$err" && [ "$(md5sum "$work/bad.conf")" = "$bad_before" ] ||
  fail "a malformed list"
run search --config "$work/bad.conf" cinnamon
[ "$status" -eq 1 ] && grep -q 'bad.conf:4:' <<<"$err" || fail "search with a malformed list"
mkdir "$work/dir.conf"
run sources list --config "$work/dir.conf"
[ "$status" -eq 1 ] && [ -n "$err" ] || fail "a list that is a folder"

# Another list has indexes of its own.
run sources add mydocs "$docs" --config "$work/other.conf"
[ "$status" -eq 0 ] && [ "$(ls "$XDG_CACHE_HOME/tessik" | grep -c '^mydocs-')" = 2 ] || fail "two lists, two indexes"

# omindex's database, searched in place.
if command -v omindex >/dev/null; then
  mkdir -p "$work/site/guide"
  printf '<html><head><title>Install Guide</title></head><body>unpack the tarball</body></html>\n' \
    >"$work/site/guide/install.html"
  omindex --db "$work/site.db" --url / "$work/site" >/dev/null 2>&1 || fail "omindex builds its database"
  run sources add site "$work/site.db"
  [ "$status" -eq 0 ] && grep -q '^engine = xapian' <(sed -n '/^\[site\]/,/^$/p' "$list") || fail "add an omindex database"
  run search --source site --format json tarball
  [ "$status" -eq 0 ] && [ "$(hits)" = "site|Install Guide" ] || fail "search an omindex database"
fi

# Remove: the source and its index go; the documents stay.
index_dirs=$(ls "$XDG_CACHE_HOME/tessik" | grep -c '^mydocs-')
run sources remove mydocs
[ "$status" -eq 0 ] && ! grep -q '^\[mydocs\]' "$list" || fail "remove takes the source out of the list"
[ "$(ls "$XDG_CACHE_HOME/tessik" | grep -c '^mydocs-')" = $((index_dirs - 1)) ] || fail "remove deletes its index"
[ -f "$docs/e.txt" ] && [ -f "$docs/d.bin" ] || fail "remove never touches the documents"
if [ $samples = 1 ]; then
  run sources remove quotes
  run sources list
  ! grep -q '^quotes ' <<<"$out" && [ -f samples.conf ] || fail "a sample goes like any source"
fi

# On a terminal: the live line while indexing, and Ctrl-C stops cleanly:
# what was committed stays searchable, and the next update goes on from
# there and finds every file.
python3 - "$work/many" <<'EOF'
import os, sys
for i in range(30000):
    d = os.path.join(sys.argv[1], "part%02d" % (i % 50))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "n%05d.txt" % i), "w") as f:
        f.write("Note %d\nmarmalade and words %d of a note\n" % (i, i))
EOF
interrupt_on_terminal 'many: [0-9]* of 30000 files' sources add many "$work/many"
grep -q 'many: [0-9]* of 30000 files, [0-9]* indexed' <<<"$out" || fail "the live line on a terminal"
if [ "$status" = 130 ]; then
  grep -q 'interrupted' <<<"$out" || fail "Ctrl-C: the message"
  run sources update many
  done_now=$(counts many | cut -d' ' -f1)
  [ "$status" -eq 0 ] && [ "${done_now:-0}" -gt 0 ] && [ "${done_now:-0}" -lt 30000 ] || fail "update goes on after Ctrl-C"
else
  # The machine indexed it all before the key came: nothing to stop.
  [ "$status" = 0 ] || fail "Ctrl-C while indexing: status $status"
fi
run search --source many --format json --limit 1000 marmalade
[ "$(python3 -c 'import json,sys; print(len(json.load(sys.stdin)["hits"]))' <<<"$out")" = 1000 ] ||
  fail "every file is searchable after the update"
run sources update many
[ "$(counts many)" = "0 30000 0 0" ] || fail "nothing left to do"

finish "tessik sources"
