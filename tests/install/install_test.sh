#!/bin/sh
# cmake --install into a scratch prefix; then the library's SONAME, a consumer
# built with pkg-config and with find_package(vkmsg CONFIG), and the installed
# tool: its version, help both ways for each command, a manual page naming
# every command, and one-line errors with exit 2 for malformed lines.
# Usage: install_test.sh BUILD-DIR SOURCE-DIR C-COMPILER CMAKE
set -u
build=$1 src=$2 cc=$3 cmake=$4
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vkmsg-install-XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT
p=$scratch/prefix failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
"$cmake" --install "$build" --prefix "$p" >"$scratch/log" || { cat "$scratch/log"; exit 1; }
lib=$(ls "$p"/lib*/libvkmsg.so.*.*.* | head -n 1) libdir=$(dirname "$lib")
soname=$(objdump -p "$lib" | awk '$1 == "SONAME" { print $2 }')
case $soname in libvkmsg.so.[0-9]*) ;; *) fail "SONAME '$soname' carries no version" ;; esac
for f in "$libdir/$soname" "$libdir/libvkmsg.so" include/vkmsg/cmc.h include/vkmsg/vkmsg.h bin/vkmsg share/man/man1/vkmsg.1; do
  [ -e "$f" ] || [ -e "$p/$f" ] || fail "not installed: $f"
done
export PKG_CONFIG_PATH="$libdir/pkgconfig"
# shellcheck disable=SC2046
"$cc" -o "$scratch/by-pkg-config" "$src/consumer.c" $(pkg-config --cflags --libs vkmsg) -Wl,-rpath,"$libdir" ||
  fail "pkg-config build"
{ "$cmake" -S "$src/consumer" -B "$scratch/c" -DCMAKE_PREFIX_PATH="$p" -DCMAKE_C_COMPILER="$cc" &&
  "$cmake" --build "$scratch/c"; } >"$scratch/log" 2>&1 || { cat "$scratch/log"; fail "find_package build"; }
for prog in "$scratch/by-pkg-config" "$scratch/c/consumer"; do
  env -u LD_LIBRARY_PATH "$prog" && ldd "$prog" | grep -q "$libdir/$soname" || fail "$prog on the installed library"
done
vkmsg=$p/bin/vkmsg
version=$(sed -n 's/^project(vkmsg VERSION \([0-9.]*\).*/\1/p' "$src/../../CMakeLists.txt")
[ "$(env -u LD_LIBRARY_PATH "$vkmsg" --version)" = "vkmsg $version" ] || fail "--version is not vkmsg $version"
man=$(MANWIDTH=200 man -l "$p/share/man/man1/vkmsg.1") && echo "$man" | grep -q "EXIT STATUS" || fail "man page"
commands=$("$vkmsg" help | awk '/^Commands:/ { on = 1; next } /^[^ ]/ { on = 0 } on && /^  [^ ]/ { print $1 }')
for c in $commands; do
  echo "$man" | grep -q "^ *$c\b" || fail "the manual page lacks $c"
  [ "$("$vkmsg" help "$c")" = "$("$vkmsg" "$c" --help)" ] && "$vkmsg" help "$c" | grep -q "^usage: vkmsg $c" ||
    fail "help $c"
done
for line in "list --bogus|unknown option --bogus" "send --to|option --to needs a value" "frob|unknown command 'frob'"; do
  # shellcheck disable=SC2086
  err=$("$vkmsg" ${line%%|*} 2>&1 >/dev/null </dev/null)
  [ $? -eq 2 ] && [ "$(echo "$err" | wc -l)" -eq 1 ] && echo "$err" | grep -qF "${line#*|}" || fail "vkmsg ${line%%|*}: $err"
done
[ $failures -eq 0 ] && echo "install ok: $soname, both consumers, vkmsg $version with $(echo $commands | wc -w) commands"
