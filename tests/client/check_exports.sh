#!/usr/bin/env bash
# Compares a library's exported functions with the expected list and checks
# that the three release names are one function. Reads ELF shared objects with
# nm and Windows DLLs with mingw's objdump (OBJDUMP overrides which one).
#   check_exports.sh LIBRARY EXPECTED_LIST
set -euo pipefail
lib=$1 expected=$2

# One "name address" line per export.
case $lib in
  *.dll | *.DLL)
    dump=$("${OBJDUMP:-x86_64-w64-mingw32-objdump}" -p "$lib")
    # The address table gives each entry's RVA by index, the name table each
    # name's index into it. A forwarded entry has no code here: it counts as
    # an export whose address is its forwarding text.
    # (Here-strings, not pipes: awk stops reading early and pipefail would
    # count the writer's broken pipe as a failure.)
    syms=$(awk '
      /^Export Address Table -- / { part = "rva"; next }
      /^\[Ordinal\/Name Pointer\] Table/ { part = "names"; next }
      /^[^ \t]/ || /^$/ { part = "" }
      part == "rva" && /^[ \t]*\[ *[0-9]+\]/ {
        i = $0; sub(/^[ \t]*\[ */, "", i); sub(/\].*/, "", i)
        rva[i + 0] = ($0 ~ /Forwarder RVA/) ? "forward" : $(NF - 2)
      }
      part == "names" && /^[ \t]*\[ *[0-9]+\]/ {
        i = $0; sub(/^[ \t]*\[ */, "", i); sub(/\].*/, "", i)
        print $NF, ((i + 0) in rva ? rva[i + 0] : "none")
      }' <<<"$dump")
    # An entry reachable by ordinal alone is an export too, and has no name.
    count=$(awk '/^Number in:/ { n = 1; next } n && /Export Address Table/ { print $NF; exit }' <<<"$dump")
    count=$((16#${count:-0}))
    named=$(sed '/^$/d' <<<"$syms" | wc -l)
    if [ "$count" -ne "$named" ]; then
      echo "FAIL: $(basename "$lib") has $count export entries but $named names"
      exit 1
    fi
    ;;
  *)
    # Every defined dynamic symbol counts, functions or not.
    syms=$(nm -D --defined-only "$lib" | awk '{print $3, $1}')
    ;;
esac
table=$(printf '%s\n' "$syms" | awk '{print $1}')
addr_of() { awk -v n="$1" '$1==n{print $2}' <<<"$syms"; }

printf 'Exported by %s:\n%s\n' "$(basename "$lib")" "$table"
actual=$(printf '%s\n' "$table" | sed '/^$/d' | sort)
wanted=$(sort "$expected")
if [ "$actual" != "$wanted" ]; then
  echo "FAIL: the export table differs from the expected list:"
  diff <(printf '%s\n' "$wanted") <(printf '%s\n' "$actual") || true
  exit 1
fi

q=$(addr_of Tessik_ReleaseQuery) h=$(addr_of Tessik_ReleaseHit) l=$(addr_of Tessik_ReleaseHitList)
if [ -z "$q" ] || [ "$q" != "$h" ] || [ "$q" != "$l" ]; then
  echo "FAIL: the release names are not one function ($q, $h, $l)"
  exit 1
fi
echo "PASS: $(printf '%s\n' "$actual" | wc -l) exports; release names share address $q"
