#!/bin/sh
# The shared library exports the entry points of the export table, the
# automation interface and vk_free_name_list, and nothing else.
set -eu
lib="$1"
expected="bAddUser bCheckPW bInitServerDlg bRemUser bRemUsers bSetupMHSDirs cmc_act_on cmc_free
cmc_list cmc_logoff cmc_logon cmc_look_up cmc_query_configuration cmc_read cmc_send cmc_send_documents
isVeskMsgDir lpmnlGetUserList vk_dialog_click vk_dialog_close vk_dialog_get_text vk_dialog_is_enabled
vk_dialog_is_open vk_dialog_is_visible vk_dialog_list_count vk_dialog_list_double_click
vk_dialog_list_is_selected vk_dialog_list_select vk_dialog_list_text vk_dialog_rect vk_dialog_set_text
vk_dialog_template vk_free_name_list vk_set_dialog_driver"
want=$(echo $expected | tr ' ' '\n' | sort)
have=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TDBRW]$/ {print $3}' | grep -v '^_' | sort)
if [ "$want" != "$have" ]; then
  echo "export table differs:"; diff -u /dev/fd/3 /dev/fd/4 3<<A 4<<B || true
$want
A
$have
B
  exit 1
fi
echo "exports ok"
