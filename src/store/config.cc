#include "store/config.h"

#include <cctype>
#include <cstring>

#include "cmc/session.h"
#include "cmc/guard.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "vkmsg/cmc.h"

namespace vk {

MailConfig g_mail_config;

namespace {

void UpperCase(char* s) {
  for (; *s; ++s) *s = static_cast<char>(std::toupper(static_cast<unsigned char>(*s)));
}

// Whether `path` (already upper-cased) holds MHS\MAIL\ anywhere, with
// either separator.
bool ContainsMhsMail(const char* path) {
  static const char kWant[] = "MHS/MAIL/";
  size_t n = std::strlen(path);
  for (size_t i = 0; i + 9 <= n; ++i) {
    size_t k = 0;
    for (; k < 9; ++k) {
      char c = path[i + k];
      char w = kWant[k];
      if (w == '/' ? !IsPathSep(c) : c != w) break;
    }
    if (k == 9) return true;
  }
  return false;
}

void SetPasswdPath() {
  if (g_mail_config.mail_dir[0] == '\0') {
    g_mail_config.passwd_path[0] = '\0';
    return;
  }
  CopyBounded(g_mail_config.passwd_path, g_mail_config.mail_dir, kPathMax);
  AppendBounded(g_mail_config.passwd_path, kPasswdRel, kPathMax);
}

}  // namespace

bool ConfigLoaded() { return g_session.config_loaded != 0; }

int ReadMailPath() {
  char* mail = g_mail_config.mail_dir;
  PlatGetProfileString(nullptr, kMailPathSection, kMailPathKey, "", mail, static_cast<int>(kPathMax));
  if (mail[0] == '\0' || !DirExists(mail)) {
    mail[0] = '\0';
    return 0;
  }
  UpperCase(mail);
  if (std::strlen(mail) + 2 > kPathMax) {
    mail[0] = '\0';
    return 0;
  }
  AddSlash(mail);
  bool had_tree = ContainsMhsMail(mail);
  if (!had_tree) {
    if (!PathFits(mail, kMhsMailDir)) {
      mail[0] = '\0';
      return 0;
    }
    AppendBounded(mail, kMhsMailDir, kPathMax);
  }
  if (!CanonicalDir(mail)) {
    mail[0] = '\0';
    return 0;
  }
  if (!had_tree) PlatWriteProfileString(nullptr, kMailPathSection, kMailPathKey, mail);
  return 1;
}

int LoadConfig() {
  MarkConfigLoaded(false);
  int rc = CMC_SUCCESS;
  if (!ReadMailPath()) {
    rc = LocateMailDir();
    if (rc != CMC_SUCCESS) {
      g_mail_config.mail_dir[0] = '\0';
      return rc;
    }
  }
  AddSlash(g_mail_config.mail_dir);
  SetPasswdPath();
  if (g_mail_config.passwd_path[0] == '\0' || OpenFileMode(g_mail_config.passwd_path, kModeExist) != 1) {
    rc = LocateMailDir();
    if (rc != CMC_SUCCESS) {
      // Nothing half-known stays behind: callers that build paths from an
      // empty mail directory get empty paths, never relative ones.
      g_mail_config.mail_dir[0] = '\0';
      return rc;
    }
  }
  if (!IsAbsolutePath(g_mail_config.mail_dir)) {
    g_mail_config.mail_dir[0] = '\0';
    return CMC_E_USER_CANCEL;
  }

  PlatGetProfileString(g_mail_config.passwd_path, kServerSection, kServerNameKey, "", g_mail_config.server_name,
                       sizeof g_mail_config.server_name);
  PlatGetProfileString(g_mail_config.passwd_path, kServerSection, kServerDescriptionKey, "",
                       g_mail_config.server_description, sizeof g_mail_config.server_description);
  MarkConfigLoaded(true);
  return CMC_SUCCESS;
}

void UnloadConfig() {
  MarkConfigLoaded(false);
  ForgetSessionUser();
  SetConfigUserName(nullptr);
  SetConfigUserDir(nullptr);
  std::memset(g_mail_config.mail_dir, 0, sizeof g_mail_config.mail_dir);
}

void SetConfigUserName(const char* name) {
  std::memset(g_mail_config.user_name, 0, sizeof g_mail_config.user_name);
  if (name != nullptr) CopyBounded(g_mail_config.user_name, name, sizeof g_mail_config.user_name);
}

void SetConfigUserDir(const char* dir) {
  std::memset(g_mail_config.user_dir, 0, sizeof g_mail_config.user_dir);
  if (dir != nullptr) CopyBounded(g_mail_config.user_dir, dir, sizeof g_mail_config.user_dir);
}

char* BuildMailPath(char* out, const char* relative) {
  if (out == nullptr) return out;
  out[0] = '\0';
  if (g_mail_config.mail_dir[0] == '\0') return out;
  CopyBounded(out, g_mail_config.mail_dir, kPathMax);
  if (relative != nullptr) AppendBounded(out, relative, kPathMax);
  return out;
}

char* BuildUserPath(char* out, const char* user, const char* relative) {
  if (out == nullptr) return out;
  out[0] = '\0';
  if (g_mail_config.mail_dir[0] == '\0' || user == nullptr || *user == '\0') return out;
  CopyBounded(out, g_mail_config.mail_dir, kPathMax);
  AppendBounded(out, kUsersDir, kPathMax);
  AppendBounded(out, user, kPathMax);
  AppendBounded(out, VK_SEP, kPathMax);
  if (relative != nullptr) AppendBounded(out, relative, kPathMax);
  return out;
}

int IsMailTree(const char* directory) {
  if (directory == nullptr || *directory == '\0' || !DirExists(directory)) return 0;
  char m[kPathMax];
  CopyBounded(m, directory, kPathMax);
  if (std::strlen(m) + 2 > kPathMax) return 0;
  AddSlash(m);
  UpperCase(m);
  if (!ContainsMhsMail(m)) {
    if (!PathFits(m, kMhsMailDir)) return 0;
    AppendBounded(m, kMhsMailDir, kPathMax);
  }
  const char* subdirs[] = {"", kSndDir, kParcelDir, kUsersDir};
  char probe[kPathMax];
  for (const char* sub : subdirs) {
    if (!PathFits(m, sub)) return 0;
    CopyBounded(probe, m, kPathMax);
    AppendBounded(probe, sub, kPathMax);
    if (!DirExists(probe)) return 0;
  }
  if (!PathFits(m, kPasswdRel)) return 0;
  CopyBounded(probe, m, kPathMax);
  AppendBounded(probe, kPasswdRel, kPathMax);
  return OpenFileMode(probe, kModeExist) == 1 ? 1 : 0;
}
int UseMailTree(const char* directory) {
  if (!IsMailTree(directory)) return 0;
  char mail[kPathMax];
  CopyBounded(mail, directory, kPathMax);
  if (std::strlen(mail) + 2 > kPathMax) return 0;
  AddSlash(mail);
  if (!CanonicalDir(mail)) return 0;
  return PlatWriteProfileString(nullptr, kMailPathSection, kMailPathKey, mail) ? 1 : 0;
}

}  // namespace vk

int CMC_CALL isVeskMsgDir(const char* directory) {
  return vk::Guarded(0, [&] { return vk::IsMailTree(directory); });
}

int vk_use_mail_tree(const char* directory) {
  return vk::Guarded(0, [&] { return vk::UseMailTree(directory); });
}
