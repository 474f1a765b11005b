// The locate command: the library's browser for the mail tree, where the
// user picks an existing tree or sets up a new one; either way this
// workstation points at the chosen tree afterwards.
#include <iostream>
#include <string>

#include "cli_mail.h"

namespace cli {

int CmdLocate(const Args& a) {
  if (a.positional.size() > 1) return Fail("locate takes one starting directory: vkmsg locate [DIR]");
  DialogPlayer player;
  PlayerFromArgs(a, &player);
  InstallDialogPlayer(&player);
  char buffer[128] = "";
  std::string start = a.positional.empty() ? std::string() : AbsolutePath(a.positional[0]);
  if (start.size() >= sizeof buffer) return Fail("locate: the directory's path is too long");
  start.copy(buffer, start.size());
  if (!bInitServerDlg(buffer, sizeof buffer)) return FailCode("locate: no mail directory chosen", CMC_E_USER_CANCEL);
  // Setup already pointed the workstation at its new tree; a tree found
  // with OK is this workstation's from now on as well.
  if (!vk_use_mail_tree(buffer)) return Fail(std::string("locate: cannot use the mail tree in ") + buffer);
  std::cout << "mail directory: " << buffer << "\n";
  return 0;
}

}  // namespace cli
