#!/bin/sh
# cmake --install into a scratch prefix, then: the library's SONAME, a
# consumer built with pkg-config and with find_package(vkmsg CONFIG), and the
# installed tool, whose manual page must name every command its help names.
# Usage: install_test.sh BUILD-DIR SOURCE-DIR C-COMPILER CMAKE
set -u
build=$1 src=$2 cc=$3 cmake=$4
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vkmsg-install-XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

"$cmake" --install "$build" --prefix "$prefix" >"$scratch/install.log" || { cat "$scratch/install.log"; exit 1; }
lib=$(ls "$prefix"/lib*/libvkmsg.so.*.*.* 2>/dev/null | head -n 1)
[ -n "$lib" ] || { fail "no versioned libvkmsg.so installed"; ls -R "$prefix"; exit 1; }
libdir=$(dirname "$lib")
soname=$(objdump -p "$lib" | awk '$1 == "SONAME" { print $2 }')
for f in "$libdir/$soname" "$libdir/libvkmsg.so" "$prefix/include/vkmsg/cmc.h" "$prefix/include/vkmsg/vkmsg.h" \
    "$libdir/pkgconfig/vkmsg.pc" "$libdir/cmake/vkmsg/vkmsgConfig.cmake" "$prefix/bin/vkmsg" \
    "$prefix/share/man/man1/vkmsg.1"; do
  [ -e "$f" ] || fail "not installed: ${f#"$prefix"/}"
done
case $soname in libvkmsg.so.[0-9]*) ;; *) fail "SONAME '$soname' carries no version" ;; esac

# The consumer, both ways; each must run against the installed library alone.
PKG_CONFIG_PATH=$libdir/pkgconfig
export PKG_CONFIG_PATH
# shellcheck disable=SC2046
"$cc" -o "$scratch/by-pkg-config" "$src/consumer.c" $(pkg-config --cflags --libs vkmsg) \
  -Wl,-rpath,"$libdir" || fail "pkg-config build"
"$cmake" -S "$src/consumer" -B "$scratch/by-cmake" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_COMPILER="$cc" \
  >"$scratch/cmake.log" 2>&1 && "$cmake" --build "$scratch/by-cmake" >>"$scratch/cmake.log" 2>&1 ||
  { cat "$scratch/cmake.log"; fail "find_package build"; }
for program in "$scratch/by-pkg-config" "$scratch/by-cmake/consumer"; do
  out=$(env -u LD_LIBRARY_PATH "$program") || fail "$program: exit $? ($out)"
  ldd "$program" | grep -q "$libdir/$soname" || fail "$program does not use the installed library"
done

# The installed tool: its version, help for each command both ways, and a
# manual page that names every command of the help.
vkmsg=$prefix/bin/vkmsg
version=$(sed -n 's/^project(vkmsg VERSION \([0-9.]*\).*/\1/p' "$src/../../CMakeLists.txt")
[ "$(env -u LD_LIBRARY_PATH "$vkmsg" --version)" = "vkmsg $version" ] || fail "--version is not vkmsg $version"
commands=$("$vkmsg" help | awk '/^Commands:/ { on = 1; next } /^[^ ]/ { on = 0 } on && /^  [^ ]/ { print $1 }')
[ "$(echo "$commands" | wc -l)" -ge 5 ] || fail "help names too few commands: $commands"
man=$(MANWIDTH=200 man -l "$prefix/share/man/man1/vkmsg.1" 2>/dev/null) || fail "man cannot show vkmsg.1"
for c in $commands; do
  echo "$man" | grep -q "^ *$c\b" || fail "the manual page lacks $c"
  [ "$("$vkmsg" help "$c")" = "$("$vkmsg" "$c" --help)" ] || fail "help $c and $c --help differ"
  "$vkmsg" help "$c" | grep -q "^usage: vkmsg $c" || fail "help $c shows no usage"
done
echo "$man" | grep -q "EXIT STATUS" || fail "the manual page documents no exit status"
# A malformed command line: exit 2 and one line naming what is wrong.
for line in "list --bogus|unknown option --bogus" "send --to|option --to needs a value" \
    "frobnicate|unknown command 'frobnicate'" "help frobnicate|unknown command 'frobnicate'"; do
  # shellcheck disable=SC2086
  err=$("$vkmsg" ${line%%|*} 2>&1 >/dev/null </dev/null)
  rc=$?
  [ $rc -eq 2 ] && [ "$(echo "$err" | wc -l)" -eq 1 ] && echo "$err" | grep -qF "${line#*|}" ||
    fail "vkmsg ${line%%|*}: exit $rc, '$err'"
done

[ $failures -eq 0 ] || exit 1
echo "install ok: $soname, pkg-config and CMake consumers, vkmsg $version with $(echo $commands | wc -w) commands"
