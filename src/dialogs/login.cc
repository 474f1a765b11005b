#include "dialogs/login.h"

namespace vk {

int LoginDialog(UiWindow, int, char*, char*) { return 0; }
const LoginDialogState* CurrentLoginDialog() { return nullptr; }
int LogonTemplate() { return kLoginTemplate; }

}  // namespace vk
