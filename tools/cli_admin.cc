// vkmsg admin and vkmsg passwd: the two side doors of the login dialog,
// opened through a logon that is then cancelled.  Only these commands know
// which door they press; the dialogs behind it are played like any other.
#include <iostream>
#include <string>

#include "cli.h"

namespace cli {

namespace {

constexpr int kLoginNameField = 1501;
constexpr int kChangePasswordDoor = 1503;
constexpr int kAdministerDoor = 1504;
constexpr int kChangePasswordDialog = 1004;
constexpr int kAdministerDialog = 1005;
constexpr int kConfirm = 1;

struct Door {
  DialogPlayer player;
  int button;            // pressed in the login dialog
  bool reached = false;  // the login dialog was shown
  bool knocked = false;  // and the door could be pressed
  int behind = 0;        // the dialog behind the door, when it was shown
  int ended_with = 0;    // the button that ended it
};

void DoorDriver(void* context, VkDialog* d) {
  Door* door = static_cast<Door*>(context);
  int shown = vk_dialog_template(d);
  if (!door->reached) {
    // The login dialog: press the door, then leave it (a cancel).
    door->reached = true;
    if (door->player.have_user) vk_dialog_set_text(d, kLoginNameField, door->player.user.c_str());
    door->knocked = vk_dialog_click(d, door->button) == 1;
    return;
  }
  int ended = PlayDialog(&door->player, d);
  if (shown == kAdministerDialog || shown == kChangePasswordDialog) {
    door->behind = shown;
    door->ended_with = ended;
  }
}

// Logs on through the door and answers how far it came.
void Knock(Door* door) {
  vk_set_dialog_driver(DoorDriver, door);
  CMC_session_id session = 0;
  if (cmc_logon(nullptr, nullptr, nullptr, nullptr, 0, CMC_VERSION, CMC_LOGON_UI_ALLOWED, &session, nullptr) ==
      CMC_SUCCESS)
    cmc_logoff(session, 0, 0, nullptr);
  vk_set_dialog_driver(nullptr, nullptr);
}

}  // namespace

int CmdAdmin(const Args& a) {
  if (!a.positional.empty()) return Fail("admin takes no arguments");
  Door door;
  door.button = kAdministerDoor;
  PlayerFromArgs(a, &door.player);
  Knock(&door);
  if (!door.reached) return Fail("admin: no login dialog (no usable mail tree?)");
  if (!door.knocked)
    return Fail("admin: this workstation is not an administrator workstation ([MAIL] IsVeskAdmin in its profile)");
  if (door.behind != kAdministerDialog) return Fail("admin: the administrator password was not accepted");
  return kExitOk;
}

int CmdPasswd(const Args& a) {
  if (!a.positional.empty()) return Fail("passwd takes no arguments");
  Door door;
  door.button = kChangePasswordDoor;
  PlayerFromArgs(a, &door.player);
  Knock(&door);
  if (!door.reached) return Fail("passwd: no login dialog (no usable mail tree?)");
  if (door.ended_with != kConfirm) return Fail("passwd: the password was not changed");
  std::cout << "password changed\n";
  return kExitOk;
}

}  // namespace cli
