#!/usr/bin/env bash
# The command line of tessik: help and version answer on stdout with status 0;
# a command line it does not understand gets the usage on stderr, status 2.
#   check_cli.sh VERSION PROGRAM...
# PROGRAM is tessik, with whatever starts it in front (Wine for a Windows build).
set -uo pipefail
version=$1
shift
program=("$@")
source "$(dirname "$0")/harness.sh"

for help in help -h --help; do
  run "$help"
  [ "$status" -eq 0 ] && [ -z "$err" ] && [[ $out == "usage: tessik "* ]] &&
    grep -q '^  version ' <<<"$out" && grep -q '^  help ' <<<"$out" || fail "$help"
done

run no-such-command
[ "$status" -eq 2 ] && [ -z "$out" ] && grep -qF 'unknown command "no-such-command"' <<<"$err" &&
  grep -q '^usage: tessik ' <<<"$err" || fail "no-such-command"

run version surplus
[ "$status" -eq 2 ] && [ -z "$out" ] && grep -qF 'too many arguments for "version"' <<<"$err" ||
  fail "version surplus"

# The header's version string, as the program linked against the library
# prints it, is the version the build gave the library.
for args in version ""; do
  run $args  # unquoted: the empty entry is no argument at all
  [ "$status" -eq 0 ] && [ -z "$err" ] && [ "$out" = "TessikClient $version (allocator check: ok)" ] ||
    fail "${args:-(no command)}"
done

finish "tessik's command line"
