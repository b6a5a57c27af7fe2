#!/usr/bin/env bash
# Checks the name under which programs find the shared library: the name the
# library gives itself (its soname, or the name in a DLL's export directory)
# and the name a program linked against it imports must both be the expected
# one, and a file of that name must sit beside the library.
#   check_library_name.sh LIBRARY PROGRAM EXPECTED_NAME
set -euo pipefail
lib=$1 program=$2 expected=$3

case $lib in
  *.dll | *.DLL)
    objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
    # awk reads to the end: a writer cut off by an early exit would fail
    # the pipeline under pipefail.
    own=$("$objdump" -p "$lib" | awk '/^Name[ \t]/ && !seen { print $NF; seen = 1 }')
    used=$("$objdump" -p "$program" | awk '/DLL Name:/ && /TessikClient/ { print $NF }')
    ;;
  *)
    own=$(objdump -p "$lib" | awk '$1 == "SONAME" { print $2 }')
    used=$(objdump -p "$program" | awk '$1 == "NEEDED" && /TessikClient/ { print $2 }')
    ;;
esac

echo "library $(basename "$lib") calls itself '$own'; $(basename "$program") imports '$used'"
if [ "$own" != "$expected" ] || [ "$used" != "$expected" ]; then
  echo "FAIL: expected '$expected'"
  exit 1
fi
if [ ! -e "$(dirname "$lib")/$expected" ]; then
  echo "FAIL: no $expected beside $(basename "$lib")"
  exit 1
fi
echo "PASS: programs find the library as $expected"
