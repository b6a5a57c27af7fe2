#!/usr/bin/env bash
# tessik.exe's sources under Wine: a folder source (with names beyond
# ASCII, and one no Windows name can carry), an sqlite source and a Xapian
# database added, searched, changed, updated and removed, with a list of
# the test's own (Wine sets %LOCALAPPDATA% itself: the index lies in the
# prefix, named after that list). The first add starts the list with the
# bundled samples, as on Linux.
#   check_sources_windows.sh PROGRAM...
# PROGRAM: tessik.exe with Wine in front. Runs in the folder the program is in.
set -uo pipefail
program=("$@")
source "$(dirname "$0")/harness.sh"
list=(--config "$work/sources.conf")

# "DOMAIN|TITLE" per hit of the JSON on stdout, sorted.
hits() {
  python3 -c '
import json, sys
for h in json.load(sys.stdin)["hits"]: print(h["domain"] + "|" + h["title"])
' <<<"$out" | sort
}
counts() {
  sed -n "s/^$1: [0-9]* files: \([0-9]*\) indexed, \([0-9]*\) unchanged, \([0-9]*\) skipped, \([0-9]*\) removed.*/\1 \2 \3 \4/p" <<<"$out"
}

docs=$work/docs
mkdir -p "$docs/web"
printf 'Apple pie\nbaking with cinnamon\n' >"$docs/a.txt"
printf '<html><head><title>Spice Page</title></head><body>cinnamon toast</body></html>\n' >"$docs/web/c.html"
printf 'cinnamon\0binary' >"$docs/d.bin"
run sources add docs "$docs" "${list[@]}"
[ "$status" -eq 0 ] && [ "$(counts docs)" = "2 0 1 0" ] || fail "add a folder source"
grep -q '^\[quotes\]' "$work/sources.conf" && grep -q '^\[glosses\]' "$work/sources.conf" ||
  fail "the first add starts the list with the samples"
run search "${list[@]}" --source docs --format json cinnamon
[ "$status" -eq 0 ] && [ "$(hits)" = $'docs|Apple pie\ndocs|Spice Page' ] || fail "search a folder source"

sleep 1.1
printf 'Apple tart\nnutmeg\n' >"$docs/a.txt"
run sources update docs "${list[@]}"
[ "$status" -eq 0 ] && [ "$(counts docs)" = "1 1 1 0" ] || fail "update a folder source"
run search "${list[@]}" --source docs --format json cinnamon
[ "$(hits)" = "docs|Spice Page" ] || fail "search after the update"

python3 - "$work/wiki.db" <<'EOF'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
db.execute("CREATE VIRTUAL TABLE pages USING fts5(heading, content)")
db.execute("INSERT INTO pages VALUES ('Cinnamon', 'a spice from the bark of trees')")
db.commit()
EOF
run sources add wiki "$work/wiki.db" "${list[@]}"
[ "$status" -eq 0 ] || fail "add an sqlite source"
run search "${list[@]}" --format json cinnamon
[ "$status" -eq 0 ] && [ "$(hits | grep -v '^quotes|\|^glosses|\|^manpages|')" = $'docs|Spice Page\nwiki|Cinnamon' ] &&
  hits | grep -q '^glosses|' || fail "search every source"

python3 -c 'import json, sys; assert [h for h in json.load(sys.stdin)["hits"] if h["properties"].get("url", "").startswith("file:///")]' <<<"$out" ||
  fail "a folder source's hit has its file:// url"

# Names beyond ASCII reach Windows as UTF-16 and come back as they were; a
# name that is no valid UTF-8 has no Windows form: skipped with a word, and
# the rest indexed.
intl=$work/Café-日本
mkdir -p "$intl/Ñandú"
printf 'Crème brûlée\nsaffron custard\n' >"$intl/Ñandú/recette-été.txt"
printf 'Plain\nsaffron rice\n' >"$intl/plain.txt"
printf 'Broken\nsaffron tea\n' >"$intl/bad-"$'\xff'".txt"
run sources add intl "$intl" "${list[@]}"
[ "$status" -eq 0 ] || fail "add a folder named beyond ASCII"
run search "${list[@]}" --source intl --format json saffron
[ "$status" -eq 0 ] && hits | grep -qx 'intl|Crème brûlée' && hits | grep -qx 'intl|Plain' ||
  fail "search a folder named beyond ASCII"
python3 -c '
import json, sys
urls = [h["properties"].get("url", "") for h in json.load(sys.stdin)["hits"]]
assert any("Ñandú/recette-été.txt" in u or "%C3%91and%C3%BA/recette-%C3%A9t%C3%A9.txt" in u for u in urls), urls
' <<<"$out" || fail "a name beyond ASCII comes back as it was"

# A Xapian database: the sample glosses the Windows indexer wrote.
run sources add words ../sample/glosses.xapian "${list[@]}"
[ "$status" -eq 0 ] || fail "add a Xapian database"
run search "${list[@]}" --source words --format json cinnamon
[ "$status" -eq 0 ] && hits | grep -q '^words|' || fail "search a Xapian database"
run sources list "${list[@]}"
[ "$status" -eq 0 ] && grep -q '^docs .* ready$' <<<"$out" || fail "list"

# Remove deletes the index (added again, every file is read anew) and never
# the documents.
run sources remove docs "${list[@]}"
[ "$status" -eq 0 ] && [ -f "$docs/a.txt" ] || fail "remove"
run sources add docs "$docs" "${list[@]}"
[ "$status" -eq 0 ] && [ "$(counts docs)" = "2 0 1 0" ] || fail "remove deletes the index"
run sources remove docs "${list[@]}"
[ "$status" -eq 0 ] || fail "remove again"
finish "tessik sources under Wine"
