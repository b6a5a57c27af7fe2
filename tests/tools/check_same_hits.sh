#!/usr/bin/env bash
# The Windows build against the Linux one: each searches the sample indexes
# its own indexers wrote, and each query must give the same hits in the
# same order on both. Between them the queries reach all three sample
# sources.
#   check_same_hits.sh LINUX_TESSIK WINDOWS_TESSIK_EXE WINE_RUN WINE_PREFIX
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: check_same_hits.sh LINUX_TESSIK WINDOWS_TESSIK_EXE WINE_RUN WINE_PREFIX" >&2; exit 2; }
linux=$(realpath "$1")
windows=$(realpath "$2")
wine_run=$(realpath "$3")
prefix=$4
work=$(mktemp -d /tmp/tessik-same-hits.XXXXXX)
trap 'rm -rf "$work"' EXIT

queries=("water" "memory" "love life" "free" "time" "dog" "night sky" "river" "music" "fire"
         "star" "money" "war peace" "sleep" "light" "dream" "house" "tree" "sea" "king"
         "death" "child" "file" "network socket")

# Domain and id of each hit, one a line, in rank order. Scores are left out:
# the two compilers may round the last digit differently.
hits() {
  python3 -c '
import json, sys
answer = json.load(sys.stdin)
for h in answer["hits"]:
    print(h["domain"] + "/" + h["id"] + " " + ",".join(h["domains"]))
'
}

failed=0
: >"$work/domains"
for q in "${queries[@]}"; do
  read -r -a words <<<"$q"
  # Each program in its own folder, over the samples listed beside it; no
  # user's list of sources can come in between.
  (cd "$(dirname "$linux")" && XDG_CONFIG_HOME=$work/none "$linux" search --config samples.conf --limit 20 \
     --format json "${words[@]}") | hits >"$work/linux"
  (cd "$(dirname "$windows")" && "$wine_run" "$prefix" "$windows" search --config samples.conf --limit 20 \
     --format json "${words[@]}" | tr -d '\r') | hits >"$work/windows"
  if ! cmp -s "$work/linux" "$work/windows"; then
    echo "check_same_hits: \"$q\" differs (Linux, then Windows):" >&2
    diff "$work/linux" "$work/windows" | head -n 20 >&2 || true
    failed=1
  fi
  [ -s "$work/linux" ] || { echo "check_same_hits: \"$q\" found nothing" >&2; failed=1; }
  cut -d' ' -f2 "$work/windows" | tr ',' '\n' >>"$work/domains"
done
reached=$(sort -u "$work/domains" | paste -sd' ')
if [ "$reached" != "glosses manpages quotes" ]; then
  echo "check_same_hits: the queries reached \"$reached\", not all three sample sources" >&2
  failed=1
fi
[ $failed -eq 0 ] && echo "check_same_hits: ${#queries[@]} queries, the same hits in the same order on both"
exit $failed
