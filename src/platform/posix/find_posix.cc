// Directory search on POSIX: Windows wildcard matching over readdir.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "platform/file.h"
#include "platform/posix/posix_internal.h"

namespace vk {

using posix::AttributesOf;
using posix::Injected;
using posix::ResolvePath;
using posix::SetErrno;
using posix::SetError;

namespace {

bool SameLetter(char a, char b) {
  const char one[2] = {a, '\0'};
  const char other[2] = {b, '\0'};
  return posix::NamesEqualNoCase(one, other);
}

// Windows name matching: * and ? without regard to case, and a name without
// a period matches as if it ended in one ("*.*" and "*." both take "README").
bool WildMatch(const char* pat, const char* name) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name != '\0') {
    if (*pat == '*') {
      star = pat++;
      resume = name;
    } else if (*pat == '?' || (*pat != '\0' && SameLetter(*pat, *name))) {
      ++pat;
      ++name;
    } else if (star != nullptr) {
      pat = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pat == '*') ++pat;
  return *pat == '\0';
}

bool PatternMatches(const std::string& pattern, const char* name) {
  if (WildMatch(pattern.c_str(), name)) return true;
  if (std::strchr(name, '.') != nullptr) return false;
  std::string dotted = std::string(name) + ".";
  return WildMatch(pattern.c_str(), dotted.c_str());
}

struct Search {
  DIR* dir;
  std::string directory;
  std::string pattern;
  // A pattern without wildcards names one file: the entry spelled exactly
  // so comes first, found without reading the directory (a mailbox of
  // thousands of messages need not be read to find one); only the entries
  // that differ from it in case need the directory read.
  bool literal;
};

// Fills `entry` for the file `name` of the search's directory, whose kind
// the directory told as `type` (DT_UNKNOWN when it did not); false when it
// has gone meanwhile.  A plain file, directory or special file the directory
// named is described without asking the file: a scan of a large mailbox
// would otherwise cost a look per message.
bool Describe(const Search* s, const char* name, unsigned char type, DirEntry* entry) {
  const uint32_t hidden = name[0] == '.' ? kAttrHidden : 0;
  uint32_t known = kAttrInvalid;
  if (type == DT_REG) known = hidden == 0 ? kAttrNormal : hidden;
  if (type == DT_DIR) known = kAttrDirectory | hidden;
  if (type == DT_FIFO || type == DT_SOCK || type == DT_CHR || type == DT_BLK) known = kAttrDevice | hidden;
  if (known != kAttrInvalid) {
    std::memcpy(entry->long_name, name, std::strlen(name) + 1);
    entry->short_name[0] = '\0';
    entry->attributes = known;
    return true;
  }
  std::string full = s->directory.empty() ? std::string(name) : s->directory + "/" + name;
  struct stat st;
  if (lstat(full.c_str(), &st) != 0) return false;
  uint32_t kind = 0;
  if (S_ISLNK(st.st_mode)) {
    kind = kAttrReparsePoint;
    struct stat target;
    if (stat(full.c_str(), &target) == 0) st = target;  // a link to a directory is one too
  } else if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
    kind = kAttrDevice;
  }
  std::memcpy(entry->long_name, name, std::strlen(name) + 1);
  entry->short_name[0] = '\0';
  const uint32_t a = AttributesOf(full, st);
  entry->attributes = kind == 0 ? a : ((a == kAttrNormal ? 0 : a) | kind);
  return true;
}

// The next entry that matches.  false at the end, with kNotFound, or when
// the directory cannot be read, with its error: a listing must not take a
// read error for its end.
bool NextMatch(Search* s, DirEntry* entry) {
  if (s->dir == nullptr) s->dir = opendir(s->directory.empty() ? "." : s->directory.c_str());
  if (s->dir == nullptr) {
    SetErrno(errno);
    return false;
  }
  for (;;) {
    errno = 0;
    struct dirent* e = readdir(s->dir);
    if (e == nullptr) break;
    const char* name = e->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    if (s->literal && s->pattern == name) continue;              // delivered first
    if (std::strlen(name) >= sizeof entry->long_name) continue;  // unreachable by any 260-byte path
    if (!PatternMatches(s->pattern, name)) continue;
    if (Describe(s, name, e->d_type, entry)) return true;
  }
  if (errno != 0) {
    SetErrno(errno);
  } else {
    SetError(PlatError::kNotFound);
  }
  return false;
}

SearchHandle FindFirst(const char* pattern, DirEntry* entry, Search** made) {
  if (Injected()) return nullptr;
  if (pattern == nullptr || entry == nullptr) {
    SetError(PlatError::kNotFound);
    return nullptr;
  }
  std::string all = pattern;
  for (char& c : all) {
    if (c == '\\') c = '/';
  }
  size_t slash = all.rfind('/');
  std::string dir = slash == std::string::npos ? std::string() : all.substr(0, slash + 1);
  std::string pat = slash == std::string::npos ? all : all.substr(slash + 1);
  if (pat.empty()) {
    SetError(PlatError::kNotFound);
    return nullptr;
  }
  Search* s = *made = new (std::nothrow) Search;
  if (s == nullptr) {
    SetError(PlatError::kOther);
    return nullptr;
  }
  s->dir = nullptr;  // opened when the directory must be read
  s->pattern = pat;
  s->literal =
      pat.find_first_of("*?") == std::string::npos && pat.size() < sizeof entry->long_name && pat != "." && pat != "..";
  // A file named in the directory's own spelling is found without resolving
  // the directory; a miss resolves it and looks again.
  std::string resolved = dir;
  while (resolved.size() > 1 && resolved.back() == '/') resolved.pop_back();
  s->directory = resolved;
  bool found = s->literal && !dir.empty() && Describe(s, pat.c_str(), DT_UNKNOWN, entry);
  if (!found && !dir.empty()) {
    ResolvePath(dir.c_str(), &resolved);
    while (resolved.size() > 1 && resolved.back() == '/') resolved.pop_back();
    s->directory = resolved;
  }
  if (!found && (!s->literal || !Describe(s, pat.c_str(), DT_UNKNOWN, entry))) {
    s->dir = opendir(resolved.empty() ? "." : resolved.c_str());
    if (s->dir == nullptr) {
      SetErrno(errno);
      *made = nullptr;
      delete s;
      return nullptr;
    }
  }
  if (s->dir != nullptr && !NextMatch(s, entry)) {
    *made = nullptr;
    const PlatError error = PlatLastError();
    PlatFindClose(s);
    SetError(error);
    return nullptr;
  }
  return s;
}

bool FindNext(SearchHandle search, DirEntry* entry) {
  if (Injected()) return false;
  if (search == nullptr || entry == nullptr) {
    SetError(PlatError::kOther);
    return false;
  }
  return NextMatch(static_cast<Search*>(search), entry);
}

}  // namespace

// The paths are built in strings: a failed allocation fails the call, and
// releases the search begun so far, instead of unwinding into the caller.
SearchHandle PlatFindFirst(const char* pattern, DirEntry* entry) {
  Search* s = nullptr;
  try {
    return FindFirst(pattern, entry, &s);
  } catch (...) {
    PlatFindClose(s);
    SetError(PlatError::kOther);
    return nullptr;
  }
}

bool PlatFindNext(SearchHandle search, DirEntry* entry) {
  try {
    return FindNext(search, entry);
  } catch (...) {
    SetError(PlatError::kOther);
    return false;
  }
}

void PlatFindClose(SearchHandle search) {
  Search* s = static_cast<Search*>(search);
  if (s == nullptr) return;
  if (s->dir != nullptr) closedir(s->dir);
  delete s;
}

}  // namespace vk
