#!/bin/sh
# The vkmsg tool on a scratch mail tree: a message's whole road through the
# mail commands, and the one-line errors of the ways it can go wrong, from
# two workstations in turn, each with its own profile.
# Usage: cli_test.sh PATH-TO-VKMSG [--share]
# With --share the tree lives on the share of scripts/with-share, and the
# two workstations reach it through its two mounts.
set -u
case $1 in /*) vkmsg=$1 ;; *) vkmsg=$PWD/$1 ;; esac
[ -x "$vkmsg" ] || { echo "no vkmsg tool at $vkmsg"; exit 1; }
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vkmsg-cli-XXXXXX") || exit 1
trap 'rm -rf "$scratch"; [ -n "${tree_a:-}" ] && rm -rf "$tree_a"' EXIT
unset VKMSG_USER VKMSG_PASSWORD
mkdir -p "$scratch/ws"
cd "$scratch" || exit 1
if [ "${2:-}" = --share ]; then
  tree=cli-$$
  tree_a=$VKMSG_SHARE_A/$tree
  tree_b=$VKMSG_SHARE_B/$tree
  mkdir "$tree_a" || exit 1
else
  tree_b=$scratch/share
fi
# Workstation b learns where the tree is from its own profile.
printf '[Mail]\r\nVeskMailPath=%s/MHS/MAIL/\r\n' "$tree_b" >"$scratch/ws/b.ini"
on() { export VKMSG_WININI="$scratch/ws/$1.ini"; }

failures=0
out="$scratch/out"
err="$scratch/err"

fail() {
  echo "FAIL: $*"
  echo "--- stdout"; cat "$out"
  echo "--- stderr"; cat "$err"
  failures=$((failures + 1))
}

# ok DESCRIPTION -- COMMAND...: the command succeeds.
ok() {
  what=$1; shift 2
  "$vkmsg" "$@" >"$out" 2>"$err" </dev/null || fail "$what: exit $?"
}
# refused DESCRIPTION CODE-NAME -- COMMAND...: fails with one line naming the code.
refused() {
  what=$1; code=$2; shift 3
  if "$vkmsg" "$@" >"$out" 2>"$err" </dev/null; then
    fail "$what: succeeded"
  elif ! grep -q "$code" "$err"; then
    fail "$what: no $code in the error"
  elif [ "$(wc -l <"$err")" -ne 1 ]; then
    fail "$what: more than one line of error"
  fi
}
has() { grep -q -- "$1" "$out" || fail "output lacks '$1'"; }
lacks() { if grep -q -- "$1" "$out"; then fail "output has '$1'"; fi; }

on a
ok "setup" -- setup "${tree_a:-$scratch/share}"
ok "add ann" -- add-user ann --password ann-pw
on b
ok "add bob" -- add-user bob --password bob-pw
on a
ok "add carl" -- add-user carl --password carl-pw

printf 'report\000\001\376 bytes\n' >"$scratch/report.bin"
printf 'second\n' >"$scratch/notes.txt"
printf 'Hello both,\nthe numbers are attached.\n' |
  "$vkmsg" send --user bob --password bob-pw --to ann --cc carl --subject "Quarterly report" \
    --attach report.bin --attach notes.txt >"$out" 2>"$err" || {
  # A library whose sending is not built yet: nothing further to try.
  grep -q CMC_E_NOT_SUPPORTED "$err" && { echo "sending is not built yet: skipped"; exit 77; }
  fail "send: exit $?"
}
has "sent to ann, carl with 2 attachments"

on b
export VKMSG_USER=ann VKMSG_PASSWORD=ann-pw
ok "list" -- list
has "Quarterly report"
has "new"
has "bob"

ok "read" -- read 1
has "Subject: Quarterly report"
has "the numbers are attached."
has "Cc:      carl"
parcel=$(sed -n 's/^Attachment: report.bin  //p' "$out")
[ -n "$parcel" ] || fail "read shows no attachment path"
cmp -s "$parcel" "$scratch/report.bin" || fail "the attachment at '$parcel' differs from what was sent"
second=$(sed -n 's/^Attachment: notes.txt  //p' "$out")
cmp -s "$second" "$scratch/notes.txt" || fail "the second attachment at '$second' differs"

ok "list after read" -- list
lacks "new"

ok "delete" -- delete 1
for p in "$parcel" "$second"; do [ -e "$p" ] && fail "an attachment outlived its message"; done
refused "delete twice" CMC_E_INVALID_MESSAGE_REFERENCE -- delete 1
ok "list empty" -- list
has "no messages"

# carl still has his copy, addressed by the reference --refs shows.
on a
ok "carl lists" -- list --user carl --password carl-pw --refs
has "Quarterly report"
ref=$(sed -n 's/^ *\(\/.*\)$/\1/p' "$out" | head -n 1)
[ -n "$ref" ] || fail "list --refs shows no reference"
ok "carl reads by reference" -- read "$ref" --user carl --password carl-pw
has "Hello both,"

refused "unknown recipient" CMC_E_RECIPIENT_NOT_FOUND -- send --to zed --text hi
refused "missing attachment" "no such file" -- send --to bob --attach nothing.bin --text hi
refused "wrong password" CMC_E_PASSWORD_REQUIRED -- list --password wrong

on b
ok "lookup" -- lookup Bob
has "Bob"
ok "who am I" -- lookup
has "ann"

on a
ok "send documents" -- send-documents --to bob --to carl --subject Docs --text "two files" --attach report.bin
has "sent to bob, carl"
on b
ok "bob lists" -- list --user bob --password bob-pw
has "Docs"
ok "bob reads" -- read 1 --user bob --password bob-pw
has "two files"
has "Attachment: report.bin"

# Each user counts in his own last listing.
ok "ann lists again" -- list
has "no messages"

ok "remove carl" -- remove-user carl
on a
ok "users" -- users
lacks carl
refused "removed user" CMC_E_ -- list --user carl --password carl-pw

# The dialogs in the terminal, answered line by line: field after field in
# tab order, then a button.  a set the tree up: an administrator workstation.
dialogs() { what=$1; answers=$2; shift 2; printf "$answers" | "$vkmsg" "$@" >"$out" 2>"$err" || fail "$what"; }
dialogs "admin adds dave" 'zirva\n\nDave\n\n\na\n\n\n\nc\n' admin
has "> The user was added"
dialogs "dave's password" 'dave\nnew-pw\nnew-pw\n\n' passwd --user dave
dialogs "dave logs on" 'new-pw\ndave\n\n' logon
has "logged on"
printf 'wrong\n\n' | "$vkmsg" admin >"$out" 2>"$err" && fail "a wrong admin password"
grep -q "not accepted" "$err" || fail "no word of the refused admin password"
refused "a nine-character name" "longer than 8" -- add-user ninechars --password x
# Picking recipients, composing a message and locating the tree in the terminal.
dialogs "ann picks" '2!\n\n\nok\n' pick --user ann --password ann-pw
has "^bob$"
dialogs "ann composes" 'Plans\nSee you\nt\n1!\n\n\nok\n\n\n\nok\n' send --edit --user ann --password ann-pw
has "^sent$"
# A workstation without a tree: the browser comes before the login that
# the command line filled, and the tree located is its tree from then on.
on c
dialogs "c locates the tree while logging on" "${tree_a:-$scratch/share}\n\nok\n" list --user ann --password ann-pw
on d
dialogs "the tree located" '\n\nok\n' locate "${tree_a:-$scratch/share}"
has "mail directory: .*MHS/MAIL/$"
ok "d knows the tree" -- users
has "^ann"
# After all of that nothing is left behind.
ok "the tree checked" -- check
has " 0 found"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
