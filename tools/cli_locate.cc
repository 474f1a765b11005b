// The locate command: the library's browser for the mail tree, where the
// user picks an existing tree or sets up a new one (after which this
// workstation points at the new tree).
#include <iostream>
#include <string>

#include "cli_mail.h"

namespace cli {

int CmdLocate(const Args& a) {
  if (a.positional.size() > 1) return Fail("locate takes one starting directory: vkmsg locate [DIR]");
  DialogPlayer player;
  PlayerFromArgs(a, &player);
  player.scripted = !player.interactive;
  InstallDialogPlayer(&player);
  char buffer[128] = "";
  std::string start = a.positional.empty() ? std::string() : AbsolutePath(a.positional[0]);
  if (start.size() >= sizeof buffer) return Fail("locate: the directory's path is too long");
  start.copy(buffer, start.size());
  if (!bInitServerDlg(buffer, sizeof buffer)) return FailCode("locate: no mail directory chosen", CMC_E_USER_CANCEL);
  std::cout << "mail directory: " << buffer << "\n";
  return 0;
}

}  // namespace cli
