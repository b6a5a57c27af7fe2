#!/usr/bin/env bash
# Compares a library's exported functions with the expected list and checks
# that the three release names are one function.
#   check_exports.sh LIBRARY EXPECTED_LIST
set -euo pipefail
lib=$1 expected=$2

syms=$(nm -D --defined-only "$lib")
# Every defined dynamic symbol counts, functions or not.
table=$(printf '%s\n' "$syms" | awk '{print $3}')
addr_of() { printf '%s\n' "$syms" | awk -v n="$1" '$3==n{print $1}'; }

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
