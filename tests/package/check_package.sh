#!/usr/bin/env bash
# check_package.sh BUILD_DIR SOURCE_DIR CXX LIBDIR VERSION
# Installs the build into a temporary prefix and uses it as a stranger
# would: the headers, the library and its version links, the CMake package
# and the pkg-config file, each checked, then the examples of docs/examples
# built both ways and run with the example plugin.
set -euo pipefail
build=$1 source=$2 cxx=$3 libdir=$4 version=$5
major=${version%%.*}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "check_package: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

for header in "$source"/include/tessik/*.h; do
  [ -f "$prefix/include/tessik/$(basename "$header")" ] || fail "header $(basename "$header") not installed"
done
lib=$prefix/$libdir
[ -f "$lib/libTessikClient.so.$version" ] || fail "no libTessikClient.so.$version"
[ "$(readlink "$lib/libTessikClient.so.$major")" = "libTessikClient.so.$version" ] || fail "no soname link"
[ "$(readlink "$lib/libTessikClient.so")" = "libTessikClient.so.$major" ] || fail "no development link"
objdump -p "$lib/libTessikClient.so.$version" | grep -q "SONAME *libTessikClient.so.$major\$" || fail "wrong SONAME"

# No text file (package, .pc) may point into the source or build tree.
if leaks=$(grep -rlI -e "$source" -e "$build" "$prefix"); then fail "the package names the build: $leaks"; fi

expected="sync: 2 hits
  About federated
  About search
async: 2 hits
  About federated
  About search
closed"

# CMake: find_package(TessikClient 0.1) in docs/examples/CMakeLists.txt.
cmake -S "$source/docs/examples" -B "$work/cmake" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
      -DCMAKE_PREFIX_PATH="$prefix" >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; fail "configure failed"; }
cmake --build "$work/cmake" >"$work/build.log" 2>&1 || { cat "$work/build.log"; fail "build failed"; }
out=$(cd "$work/cmake" && ./search_app ./ExamplePlugin.so) || fail "search_app failed: $out"
[ "$out" = "$expected" ] || fail "unexpected output through the CMake package: $out"

# The version file refuses another major version.
mkdir "$work/other"
printf 'cmake_minimum_required(VERSION 3.25)\nproject(p LANGUAGES CXX)\nfind_package(TessikClient %s REQUIRED)\n' \
       "$((major + 1)).0" >"$work/other/CMakeLists.txt"
if cmake -S "$work/other" -B "$work/other/build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null 2>&1; then
  fail "find_package accepted version $((major + 1)).0"
fi

# pkg-config: the same application, compiled by hand.
export PKG_CONFIG_PATH=$lib/pkgconfig
[ "$(pkg-config --modversion tessik-client)" = "$version" ] || fail "pkg-config version"
# shellcheck disable=SC2046
"$cxx" -std=c++20 -o "$work/app_pc" "$source/docs/examples/search_app.cc" $(pkg-config --cflags --libs tessik-client) ||
  fail "build through pkg-config failed"
out=$(cd "$work/cmake" && LD_LIBRARY_PATH=$lib "$work/app_pc" ./ExamplePlugin.so) || fail "app_pc failed: $out"
[ "$out" = "$expected" ] || fail "unexpected output through pkg-config: $out"
echo "check_package: $prefix held everything; both builds ran"
