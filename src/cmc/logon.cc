// Logon proper and logoff: the login dialog, the registry check, and the
// paths of the user who is logged on.
#include "cmc/logon.h"

#include <cstring>

#include "cmc/frame.h"
#include "cmc/session.h"
#include "dialogs/login.h"
#include "platform/profile.h"
#include "read/list.h"
#include "store/config.h"
#include "store/fileprim.h"
#include "users/registry.h"

namespace vk {

namespace {

// The session pool's one user-name block, taken at the first logon and used
// again by every later one, so logging on and off never uses the pool up.
char* g_name_block = nullptr;
// Used only should the session pool have no room at all: the name must
// still be readable by those who take it from the session.
char g_spare_name_block[kUserNameCopySize];

char* UserNameBlock() {
  if (g_name_block == nullptr) {
    g_name_block = static_cast<char*>(PoolTake(&g_session.pool, kUserNameCopySize));
    if (g_name_block == nullptr) g_name_block = g_spare_name_block;
  }
  return g_name_block;
}

void ClearUserPaths() {
  SetConfigUserDir(nullptr);
  std::memset(g_session.local_ab_path, 0, sizeof g_session.local_ab_path);
}

// A name the registry accepts with this password, and one that cannot lead
// out of USERS when it becomes part of a path.
bool Accepted(const char* name, const char* password) { return IsSafeUserName(name) && bCheckPW(name, password) == 1; }

void Wipe(char* buffer, size_t size) {
  volatile char* p = buffer;
  for (size_t i = 0; i < size; ++i) p[i] = 0;
}

CMC_return_code Logon(const char* user, const char* password, CMC_ui_id ui_id, CMC_session_id* session,
                      CMC_extension* logon_extensions, char* name, char* pw) {
  ClearUserPaths();
  if (user != nullptr && *user != '\0') CopyBounded(name, user, kLogonNameSize);
  if (password != nullptr && *password != '\0') CopyBounded(pw, password, kLogonPasswordSize);
  // 1001 (with the administer button) on an administrator workstation.
  const int template_id = LogonTemplate();
  UiWindow parent = reinterpret_cast<UiWindow>(ui_id);

  bool accepted = false;
  if (name[0] == '\0') {
    PlatGetProfileString(nullptr, kLogonSection, kLastUserKey, "", name, kLogonNameSize);
    if (!LoginDialog(parent, template_id, name, pw)) return CMC_E_USER_CANCEL;
    accepted = Accepted(name, pw);
  }
  if (!accepted) {
    if (!LoginDialog(parent, template_id, name, pw)) return CMC_E_USER_CANCEL;
    if (!Accepted(name, pw)) return CMC_E_PASSWORD_REQUIRED;
  }

  char user_dir[kPathSize];
  char local_ab[kPathSize];
  BuildUserPath(user_dir, name, kUserMailboxDir);
  BuildUserPath(local_ab, name, kLocalAddressBook);
  if (g_mail_config.mail_dir[0] == '\0' || !DirExists(user_dir)) return CMC_E_PASSWORD_REQUIRED;
  if (session == nullptr) return CMC_E_INVALID_PARAMETER;

  // The session exists only once everything succeeded, so a failed logon
  // never leaves a session without a user behind.
  const CMC_return_code ext = ProcessExtensions(logon_extensions, ExtensionMode::kLogon);
  if (ext != CMC_SUCCESS) return ext;

  SetConfigUserDir(user_dir);
  CopyBounded(g_session.local_ab_path, local_ab, sizeof g_session.local_ab_path);
  SetConfigUserName(name);
  char* copy = UserNameBlock();
  std::memset(copy, 0, kUserNameCopySize);
  CopyBounded(copy, name, kUserNameCopySize);
  g_session.user_name_copy = copy;
  g_session.session_id = kSessionId;
  PlatWriteProfileString(nullptr, kLogonSection, kLastUserKey, name);
  *session = kSessionId;
  return CMC_SUCCESS;
}

}  // namespace

CMC_return_code LogonUser(const char* user, const char* password, CMC_ui_id ui_id, CMC_session_id* session,
                          CMC_extension* logon_extensions) {
  char name[kLogonNameSize];
  char pw[kLogonPasswordSize];
  std::memset(name, 0, sizeof name);
  std::memset(pw, 0, sizeof pw);
  const CMC_return_code code = Logon(user, password, ui_id, session, logon_extensions, name, pw);
  if (code != CMC_SUCCESS) ClearUserPaths();
  Wipe(pw, sizeof pw);
  return code;
}

CMC_return_code LogoffUser() {
  g_session.session_id = 0;
  SetConfigUserName(nullptr);
  if (g_session.user_name_copy != nullptr) std::memset(g_session.user_name_copy, 0, kUserNameCopySize);
  ForgetListing();
  ClearUserPaths();
  UnloadConfig();
  return CMC_SUCCESS;
}

}  // namespace vk
