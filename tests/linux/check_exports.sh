#!/bin/sh
# The shared library's dynamic symbol table holds exactly the exports of the
# export table (what exists on Windows only left out), every defined symbol
# counted, whatever its name or kind.
# Usage: check_exports.sh libvkmsg.so src/cmc/vkmsg.exports
set -eu
lib="$1"
list="$2"
tmp="${TMPDIR:-/tmp}/check_exports.$$"
trap 'rm -f "$tmp.want" "$tmp.have"' EXIT INT TERM
awk '/^[A-Za-z_]/ && $NF != "win32" { print $1 }' "$list" | sort > "$tmp.want"
nm -D --defined-only "$lib" | awk '{ print $NF }' | sort > "$tmp.have"
if ! cmp -s "$tmp.want" "$tmp.have"; then
  echo "export table differs (- expected, + found):"
  diff -u "$tmp.want" "$tmp.have" | tail -n +3 || true
  exit 1
fi
echo "exports ok ($(wc -l < "$tmp.want"))"
