#include "store/paths.h"

#include <cctype>
#include <cstring>

#include "store/namelist.h"
#include "platform/text.h"

namespace vk {

namespace {

// What ListFiles gathers while ScanFiles walks the directory.
struct FileListing {
  const char* resume;
  bool started;
  NameList* list;
  bool failed;
};

bool AddListedFile(void* context, const char* name, const DirEntry&) {
  FileListing* l = static_cast<FileListing*>(context);
  if (!l->started) {
    if (PlatCompareNoCase(name, l->resume) != 0) return true;
    l->started = true;
  }
  const unsigned before = l->list->count;
  l->list = AddName(l->list, name, kNameModeAppend);
  if (l->list == nullptr || l->list->count == before) {
    l->failed = true;
    return false;
  }
  return true;
}

}  // namespace

bool IsPathSep(char c) { return c == kPathSep || c == '\\'; }

bool PathFits(const char* base, const char* rel) { return std::strlen(base) + std::strlen(rel) + 1 <= kPathMax; }

bool JoinPath(char* out, const char* dir, const char* name) {
  if (!dir || !name || !PathFits(dir, name)) return false;
  CopyBounded(out, dir, kPathMax);
  AppendBounded(out, name, kPathMax);
  return true;
}

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
  if (!IsPathSep(native[len - 1])) {
    if (len + 2 > kPathMax) return false;
    native[len] = kPathSep;
    native[len + 1] = '\0';
  }
  CopyBounded(dir, native, kPathMax);
  return true;
}

char* AddSlash(char* path) {
  if (path == nullptr || *path == '\0') return path;
  size_t len = std::strlen(path);
  if (!IsPathSep(path[len - 1])) {
    path[len] = kPathSep;
    path[len + 1] = '\0';
  }
  return path;
}

char* StripSlash(char* path) {
  if (path == nullptr || *path == '\0') return path;
  size_t len = std::strlen(path);
  if (IsPathSep(path[len - 1])) path[len - 1] = '\0';
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
  if (len >= 2 && path[len - 1] == '.' && path[len - 2] != '.' && !IsPathSep(path[len - 2])) {
    path[--len] = '\0';
  }
  std::memcpy(path + len, kReadMarkExt, 5);
  return OpenFileMode(path, mode);
}

bool ScanFiles(const char* dir, const char* pattern, FileVisitor visit, void* context) {
  if (dir == nullptr || *dir == '\0') return false;
  // A search path that had to be cut would scan another directory, or
  // match other names.
  char search[kPathMax];
  if (std::strlen(dir) + 2 > kPathMax) return false;
  CopyBounded(search, dir, kPathMax);
  AddSlash(search);
  const char* pat = pattern != nullptr ? pattern : "*.*";
  if (!PathFits(search, pat)) return false;
  AppendBounded(search, pat, kPathMax);

  DirEntry entry;
  SearchHandle find = PlatFindFirst(search, &entry);
  // Only "no such file" is an empty directory; any other failure means the
  // directory could not be read, and a listing must not show it empty.
  if (find == nullptr) return PlatLastError() == PlatError::kNotFound;
  constexpr uint32_t kSkip = kAttrHidden | kAttrSystem | kAttrDirectory;
  bool read = true;
  for (;;) {
    if (entry.attributes == kAttrInvalid || (entry.attributes & kSkip) == 0) {
      const char* name = entry.short_name[0] != '\0' ? entry.short_name : entry.long_name;
      if (!visit(context, name, entry)) break;
    }
    if (!PlatFindNext(find, &entry)) {
      // The end of the directory; anything else would cut the listing short.
      read = PlatLastError() == PlatError::kNotFound;
      break;
    }
  }
  PlatFindClose(find);
  return read;
}

NameList* ListFiles(const char* dir, const char* pattern, const char* resume) {
  FileListing l = {resume, resume == nullptr, CreateNameList(32, 1024), false};
  if (l.list == nullptr) return nullptr;
  if (!ScanFiles(dir, pattern, AddListedFile, &l) || l.failed || l.list->count == 0) return FreeNameList(l.list);
  return l.list;
}

}  // namespace vk
