#include "store/config.h"

#include <cctype>
#include <cstring>

#include "address/namelist.h"
#include "cmc/session.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "users/registry.h"
#include "vkmsg/cmc.h"

namespace vk {

MailConfig g_mail_config;

namespace {

bool IsSep(char c) { return c == kPathSep || c == '\\'; }

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
      if (w == '/' ? !IsSep(c) : c != w) break;
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

// Whether the path with a relative part appended still fits, uncut.
bool Fits(const char* base, const char* rel) {
  return std::strlen(base) + std::strlen(rel) + 1 <= kPathMax;
}

}  // namespace

const char* FileNamePart(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p) {
    if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
  }
  return name;
}

bool IsAbsolutePath(const char* path) {
  if (path == nullptr || *path == '\0') return false;
#if defined(_WIN32)
  auto sep = [](char c) { return c == '\\' || c == '/'; };
  if (sep(path[0]) && sep(path[1])) return true;  // \\server\share
  return std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && sep(path[2]);
#else
  return path[0] == '/';
#endif
}

bool CanonicalDir(char* dir) {
  if (dir == nullptr) return false;
  if (*dir == '\0') return false;
  char work[kPathMax];
  if (!IsAbsolutePath(dir)) {
    if (!PlatAbsolutePath(dir, work, sizeof work) || std::strlen(work) + 2 > kPathMax || !IsAbsolutePath(work))
      return false;
  } else {
    CopyBounded(work, dir, kPathMax);
  }
  char native[kPathMax];
  PlatNativePath(work, native, sizeof native);
  if (native[0] == '\0' || !IsAbsolutePath(native)) return false;
  size_t len = std::strlen(native);
  if (!IsSep(native[len - 1])) {
    if (len + 2 > kPathMax) return false;
    native[len] = kPathSep;
    native[len + 1] = '\0';
  }
  CopyBounded(dir, native, kPathMax);
  return true;
}

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
    if (!Fits(mail, kMhsMailDir)) {
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

int LocateMailDir() {
  char* mail = g_mail_config.mail_dir;
  if (!bInitServerDlg(mail, static_cast<int>(kPathMax))) return CMC_E_USER_CANCEL;
  if (std::strlen(mail) + 2 > kPathMax || !CanonicalDir(mail)) {
    mail[0] = '\0';
    return CMC_E_USER_CANCEL;
  }
  PlatWriteProfileString(nullptr, kMailPathSection, kMailPathKey, mail);
  SetPasswdPath();
  return CMC_SUCCESS;
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
  if (g_mail_config.passwd_path[0] == '\0' ||
      OpenFileMode(g_mail_config.passwd_path, kModeExist) != 1) {
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

  if (CachedUserList() == nullptr) LoadCachedUserList();

  PlatGetProfileString(g_mail_config.passwd_path, kServerSection, kServerNameKey, "",
                       g_mail_config.server_name, sizeof g_mail_config.server_name);
  PlatGetProfileString(g_mail_config.passwd_path, kServerSection, kServerDescriptionKey, "",
                       g_mail_config.server_description,
                       sizeof g_mail_config.server_description);
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

char* AddSlash(char* path) {
  if (path == nullptr || *path == '\0') return path;
  size_t len = std::strlen(path);
  if (!IsSep(path[len - 1])) {
    path[len] = kPathSep;
    path[len + 1] = '\0';
  }
  return path;
}

char* StripSlash(char* path) {
  if (path == nullptr || *path == '\0') return path;
  size_t len = std::strlen(path);
  if (IsSep(path[len - 1])) path[len - 1] = '\0';
  return path;
}

int HasReadMark(const char* path) {
  if (path == nullptr) return 0;
  size_t len = std::strlen(path);
  if (len < 4) return 0;
  return PlatCompareNoCase(path + len - 4, kReadMarkExt) == 0 ? 1 : 0;
}

FileHandle OpenMessageFile(char* path, OpenMode mode) {
  if (path == nullptr || *path == '\0') return kNoFile;
  FileHandle h = OpenFileMode(path, mode);
  if (h != kNoFile || HasReadMark(path)) return h;
  // A name ending in the empty extension's dot ("KWZ0f3a.") names the same
  // file as the name without it, so its read twin is "KWZ0f3a.red".
  size_t len = std::strlen(path);
  if (len >= 2 && path[len - 1] == '.' && path[len - 2] != '.' && !IsSep(path[len - 2])) {
    path[--len] = '\0';
  }
  std::memcpy(path + len, kReadMarkExt, 5);
  return OpenFileMode(path, mode);
}

NameList* ListFiles(const char* dir, const char* pattern, const char* resume) {
  NameList* list = CreateNameList(32, 1024);
  if (list == nullptr) return nullptr;
  if (dir == nullptr || *dir == '\0') return FreeNameList(list);

  // A search path that had to be cut would scan another directory, or
  // match other names.
  char search[kPathMax];
  if (std::strlen(dir) + 2 > kPathMax) return FreeNameList(list);
  CopyBounded(search, dir, kPathMax);
  AddSlash(search);
  const char* pat = pattern != nullptr ? pattern : "*.*";
  if (!Fits(search, pat)) return FreeNameList(list);
  AppendBounded(search, pat, kPathMax);

  DirEntry entry;
  SearchHandle find = PlatFindFirst(search, &entry);
  if (find == nullptr) return FreeNameList(list);

  constexpr uint32_t kSkip = kAttrHidden | kAttrSystem | kAttrDirectory;
  bool more = true;
  bool started = resume == nullptr;
  bool any = false;
  bool failed = false;
  for (; more; more = PlatFindNext(find, &entry)) {
    if (entry.attributes != kAttrInvalid && (entry.attributes & kSkip)) continue;
    const char* name = entry.short_name[0] != '\0' ? entry.short_name : entry.long_name;
    if (!started) {
      if (PlatCompareNoCase(name, resume) != 0) continue;
      started = true;
    }
    any = true;
    unsigned before = list->count;
    list = AddName(list, name, kNameModeAppend);
    if (list == nullptr || list->count == before) {
      failed = true;
      break;
    }
  }
  PlatFindClose(find);
  if (failed || !any) return FreeNameList(list);
  return list;
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

}  // namespace vk

int CMC_CALL isVeskMsgDir(const char* directory) {
  using namespace vk;
  if (directory == nullptr || *directory == '\0' || !DirExists(directory)) return 0;
  char m[kPathMax];
  CopyBounded(m, directory, kPathMax);
  if (std::strlen(m) + 2 > kPathMax) return 0;
  AddSlash(m);
  UpperCase(m);
  if (!ContainsMhsMail(m)) {
    if (!Fits(m, kMhsMailDir)) return 0;
    AppendBounded(m, kMhsMailDir, kPathMax);
  }
  const char* subdirs[] = {"", kSndDir, kParcelDir, kUsersDir};
  char probe[kPathMax];
  for (const char* sub : subdirs) {
    if (!Fits(m, sub)) return 0;
    CopyBounded(probe, m, kPathMax);
    AppendBounded(probe, sub, kPathMax);
    if (!DirExists(probe)) return 0;
  }
  if (!Fits(m, kPasswdRel)) return 0;
  CopyBounded(probe, m, kPathMax);
  AppendBounded(probe, kPasswdRel, kPathMax);
  return OpenFileMode(probe, kModeExist) == 1 ? 1 : 0;
}
