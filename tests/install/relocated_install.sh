#!/usr/bin/env bash
# Installs the built library into a staging folder (DESTDIR), moves the
# installed tree somewhere else, and builds and runs a small consumer against
# the moved tree, once through find_package(tessok) and once through
# pkg-config. Fails when either cannot find or use the library.
# Usage: relocated_install.sh <build-directory> <C compiler>
set -euo pipefail
build=$1
cc=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

DESTDIR="$work/stage" cmake --install "$build" --prefix /opt/tessok >/dev/null
mv "$work/stage/opt/tessok" "$work/moved"
rm -rf "$work/stage"
prefix="$work/moved"

echo "-- find_package(tessok) against the moved install"
cmake -S "$here/consumer" -B "$work/consumer-cmake" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_COMPILER="$cc" >/dev/null
cmake --build "$work/consumer-cmake" >/dev/null
"$work/consumer-cmake/consumer"

echo "-- pkg-config against the moved install"
pcfile=$(find "$prefix" -name tessok.pc | head -n 1)
[ -n "$pcfile" ] || { echo "no tessok.pc installed" >&2; exit 1; }
export PKG_CONFIG_PATH
PKG_CONFIG_PATH=$(dirname "$pcfile")
libdir=$(pkg-config --variable=libdir tessok)
case "$(cd "$libdir" && pwd)" in
  "$prefix"/*) ;;
  *) echo "pkg-config libdir $libdir is outside the moved install $prefix" >&2; exit 1 ;;
esac
# shellcheck disable=SC2046
"$cc" "$here/consumer/consumer.c" -o "$work/consumer-pc" $(pkg-config --cflags --libs tessok)
LD_LIBRARY_PATH="$libdir" "$work/consumer-pc"
