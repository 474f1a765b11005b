#!/bin/bash
# The subsystems stand in layers, each including only its own layer and those
# below, so that no two subsystems include each other.  From the bottom:
#   platform; the CMC core (types, export guard, result pool, session record,
#   handlers); store; users; dialogs; address; read; send; the CMC calls;
#   entry points.
# Usage: check_layers.sh SOURCE_DIR
cd "${1:?source directory}/src" || exit 2
layer() {
  case "$1" in
    platform/win32/dllmain_win32.cc) echo 9 ;;
    platform/*) echo 0 ;;
    cmc/cmc_types.h | cmc/guard.h | cmc/pool.* | cmc/session.* | cmc/handlers.h) echo 1 ;;
    store/*) echo 2 ;;
    users/*) echo 3 ;;
    dialogs/*) echo 4 ;;
    address/*) echo 5 ;;
    read/*) echo 6 ;;
    send/*) echo 7 ;;
    cmc/*) echo 8 ;;
    *) echo 9 ;;
  esac
}
bad=0
for file in */*.cc */*.h */*/*.cc */*/*.h; do
  [ -f "$file" ] || continue
  mine=$(layer "$file")
  for header in $(sed -n 's/^#include "\([a-z]*\/[^"]*\)".*/\1/p' "$file"); do
    [ -f "$header" ] || continue
    theirs=$(layer "$header")
    if [ "$theirs" -gt "$mine" ]; then
      echo "$file includes $header from a layer above it"
      bad=1
    fi
  done
done
exit $bad
