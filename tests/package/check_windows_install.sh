#!/usr/bin/env bash
# The Windows build's install tree as a user copies it to a Windows machine:
# exactly the programs, DLLs and files it should hold (no test plugin, no
# test program), and each DLL loaded by the installed tessik.exe under Wine
# (the library and Xerces-C by starting it, each plugin by a search over the
# samples, the word library by a look-up).
#   check_windows_install.sh BUILD_DIR EMULATOR...
set -uo pipefail
build=$1
shift
emulator=("$@")
prefix=$(mktemp -d /tmp/tessik-windows-install.XXXXXX)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }
failures=0

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }

expected="bin/Plugins/files.conf
bin/Plugins/files.dll
bin/Plugins/sqlite.conf
bin/Plugins/sqlite.dll
bin/Plugins/xapian.conf
bin/Plugins/xapian.dll
bin/TessikClient.dll
bin/WordNetEn.dll
bin/libxerces-c.dll
bin/samples.conf
bin/tessik.exe"
listed=$(cd "$prefix" && find bin -path bin/resource -prune -o -type f -print | LC_ALL=C sort)
[ "$listed" = "$expected" ] || { fail "the programs and DLLs of bin/"; diff <(echo "$expected") <(echo "$listed"); }
for f in lib/libTessikClient.dll.a include/tessik/TessikClient.h include/tessik/Plugin.h \
         lib/cmake/TessikClient/TessikClientConfig.cmake bin/resource/WordNetDict/index.noun \
         sample/glosses.xapian/iamglass sample/manpages.sqlite sample/quotes.index; do
  [ -f "$prefix/$f" ] || fail "no $f"
done

cd "$prefix/bin"
out=$("${emulator[@]}" ./tessik.exe version 2>&1 | tr -d '\r') || fail "tessik.exe version: $out"
out=$("${emulator[@]}" ./tessik.exe search --config samples.conf --limit 5 --format json water 2>/dev/null | tr -d '\r')
python3 -c '
import json, sys
a = json.load(sys.stdin)
assert sorted(p["name"] for p in a["plugins"] if p["status"] == 0) == ["Plugins/files", "Plugins/sqlite", "Plugins/xapian"], a["plugins"]
assert a["hits"], "no hit"
' <<<"$out" || fail "every plugin loads and answers: $out"
out=$("${emulator[@]}" ./tessik.exe synonyms dog 2>&1 | tr -d '\r')
grep -qx "domestic dog" <<<"$out" || fail "the word library loads: $out"

[ $failures -eq 0 ] && echo "PASS: the Windows install tree" || echo "$failures check(s) failed"
exit $((failures > 0))
