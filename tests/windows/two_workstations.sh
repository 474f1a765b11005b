#!/bin/sh
# Under scripts/with-share: a Windows workstation (workstation.exe under
# Wine, its own prefix and WIN.INI) and a Linux one (the vkmsg tool on mount
# B) share one mail tree.  The Windows one is the machine that shares its
# disk: its drive M: is the served directory itself, since Wine on the FUSE
# client cannot rename a file (it renames through a handle it holds open,
# which the client refuses).  Stops the Wine server of its own prefix on
# every way out.
# Usage: two_workstations.sh WORKSTATION.EXE LINUX-VKMSG
set -u
exe=$1 vkmsg=$2
[ -x "$vkmsg" ] || { echo "no Linux vkmsg tool at $vkmsg: skipped"; exit 77; }
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vkmsg-2ws-XXXXXX") || exit 1
export WINEPREFIX="$scratch/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" VKMSG_WININI="$scratch/linux.ini"
trap '/usr/lib/wine/wineserver64 -k 2>/dev/null; /usr/lib/wine/wineserver64 -w 2>/dev/null; rm -rf "$scratch"' EXIT
trap 'exit 130' INT TERM
mkdir "$WINEPREFIX" && /usr/lib/wine/wineserver64 -p && /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
ln -s "$VKMSG_SHARE_SERVER_DIR" "$WINEPREFIX/dosdevices/m:"
failures=0
fail() { echo "FAIL: $1"; cat "$scratch/out"; failures=$((failures + 1)); }
# check WHAT COMMAND...: it succeeds; its output (CR LF from Wine made LF) stays in $scratch/out.
check() { what=$1; shift; "$@" >"$scratch/raw" 2>&1 </dev/null; r=$?; tr -d '\r' <"$scratch/raw" >"$scratch/out"; [ $r -eq 0 ] || fail "$what"; }
count() { grep -c "$@" "$scratch/out"; }
# W|L USER ARGS...: one call on the Windows or Linux workstation, as USER.
W() { u=$1; shift; VKMSG_USER=$u VKMSG_PASSWORD=$u-pw /usr/lib/wine/wine64 "$exe" "$@"; }
L() { u=$1; shift; VKMSG_USER=$u VKMSG_PASSWORD=$u-pw "$vkmsg" "$@"; }
winroot() { printf '[Mail]\r\nVeskMailPath=M:\\%s\\MHS\\MAIL\\\r\n' "$1" >"$WINEPREFIX/drive_c/windows/win.ini"; }

# A tree made by either is one the other takes.
check "Linux setup" "$vkmsg" setup "$VKMSG_SHARE_B/t1"
check "Windows takes the Linux tree" W - isdir 'M:\t1\MHS\MAIL\'
mkdir "$VKMSG_SHARE_SERVER_DIR/t2"
check "Windows setup" W - setup 'M:\t2'
printf '[Mail]\r\nVeskMailPath=%s/t2/MHS/MAIL/\r\n' "$VKMSG_SHARE_B" >"$scratch/t2.ini"
check "Linux takes the Windows tree" env VKMSG_WININI="$scratch/t2.ini" "$vkmsg" users
winroot t1
# Users and passwords, each side's accepted by the other.
check "Windows adds wanda" W - adduser wanda wanda-pw
check "Linux adds linus" "$vkmsg" add-user linus --password linus-pw
check "Windows checks linus" W - checkpw linus linus-pw
check "Linux logs wanda on" L wanda logon
# Mail both ways with attachments; reads, read marks seen by the other, deletes.
echo "from linux" >"$scratch/l.txt"
echo "from windows" >"$WINEPREFIX/drive_c/w.txt"
check "Linux sends" L linus send --to wanda --subject to-wanda --attach "$scratch/l.txt" --text hi
check "Windows sends" W wanda send linus to-linus 'C:\w.txt'
check "Windows reads" W wanda read to-wanda
[ "$(count '^attachment M:')" -eq 1 ] || fail "the attachment is not on M:"
check "Linux lists" L wanda list
[ "$(count to-wanda)" -eq 1 ] && [ "$(count new)" -eq 0 ] || fail "Linux does not see the read mark"
check "Linux lists" L linus list
check "Linux reads" L linus read 1
grep -q "from windows" "$(awk '/^Attachment:/ { print $NF; exit }' "$scratch/out")" || fail "the attachment from Windows"
check "Windows lists" W linus list
[ "$(count '^to-linus read$')" -eq 1 ] || fail "Windows does not see the read mark"
check "Windows deletes" W wanda delete to-wanda
check "Linux deletes" L linus delete 1
# Both at once, the Linux side for as long as the Windows side runs:
# deliveries into one mailbox, then new users; nothing lost.
W wanda send linus burst 'C:\w.txt' 8 >/dev/null 2>&1 & pid=$!
n=0; while kill -0 $pid 2>/dev/null; do n=$((n + 1)); check "Linux send $n" L wanda send --to linus --subject burst --text x; done
wait $pid || fail "Windows burst"
check "Windows lists the burst" W linus list
[ "$(count '^burst new$')" -eq $((n + 8)) ] || fail "not $n + 8 burst messages"
W - adduser w1 p w2 p w3 p w4 p w5 p w6 p w7 p w8 p & pid=$!
n=0; while kill -0 $pid 2>/dev/null; do n=$((n + 1)); check "Linux add l$n" "$vkmsg" add-user l$n --password p; done
wait $pid || fail "Windows adds"
check "Linux lists the users" "$vkmsg" users
[ "$(count -x '[wl][0-9]*')" -eq $((n + 8)) ] || fail "not $n + 8 new users"
[ $failures -eq 0 ] && echo "two workstations ok ($n Linux users added meanwhile)"
