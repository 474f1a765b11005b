// Paths on POSIX: a mail tree that came from a Windows drive gets the
// matching rules of a Windows file system (ResolvePath), and the path
// operations of the platform interface.
#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/posix/posix_internal.h"

namespace vk {
namespace posix {

namespace {
char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool Exists(const std::string& p) {
  struct stat st;
  return lstat(p.c_str(), &st) == 0;
}

std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

// The entry of `dir` that is `name` without regard to case, tried first with
// the common spellings (cheap) and then by reading the directory.  Several
// matches: the smallest spelling wins, so every caller agrees.
bool FindNoCase(const std::string& dir, const std::string& name, std::string* found) {
  std::string lower = name, upper = name;
  for (char& c : lower) c = FoldAscii(c);
  for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  if (lower != name && Exists(Join(dir, lower))) {
    *found = lower;
    return true;
  }
  if (upper != name && Exists(Join(dir, upper))) {
    *found = upper;
    return true;
  }
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return false;
  bool any = false;
  while (struct dirent* e = readdir(d)) {
    if (!NamesEqualNoCase(e->d_name, name.c_str())) continue;
    if (!any || std::strcmp(e->d_name, found->c_str()) < 0) *found = e->d_name;
    any = true;
  }
  closedir(d);
  return any;
}
}  // namespace

bool NamesEqualNoCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (FoldAscii(*a) != FoldAscii(*b)) return false;
  }
  return *a == *b;
}

std::string NativeSpelling(const char* path) {
  std::string p = path != nullptr ? path : "";
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  size_t last = p.rfind('/');
  size_t start = last == std::string::npos ? 0 : last + 1;
  if (p.size() > start && p.back() == '.' && p.find_first_not_of('.', start) != std::string::npos) {
    while (p.back() == '.') p.pop_back();
  }
  return p;
}

bool ResolvePath(const char* path, std::string* out) {
  std::string p = NativeSpelling(path);
  if (p.empty() || Exists(p)) {
    *out = p;
    return !p.empty();
  }
  std::string acc = p[0] == '/' ? "/" : "";
  bool exists = true;
  size_t i = 0;
  while (i < p.size()) {
    size_t j = p.find('/', i);
    if (j == std::string::npos) j = p.size();
    std::string comp = p.substr(i, j - i);
    i = j + 1;
    if (comp.empty()) continue;
    std::string cand = Join(acc, comp);
    if (exists && !Exists(cand)) {
      std::string found;
      if (comp != "." && comp != ".." && FindNoCase(acc, comp, &found)) {
        cand = Join(acc, found);
      } else {
        exists = false;
      }
    }
    acc = cand;
  }
  if (p.back() == '/' && !acc.empty() && acc.back() != '/') acc += '/';
  *out = acc;
  return exists;
}

}  // namespace posix

using posix::NoThrow;
using posix::ResolvePath;

namespace {

// The absolute form of `path`.
bool AbsolutePathOf(const char* path, char* out, size_t size) {
  std::string given(path);
  for (char& c : given) {
    if (c == '\\') c = '/';
  }
  if (given[0] != '/') {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) == nullptr) return false;
    given = std::string(cwd) + "/" + given;
  }
  // Resolve "." and ".." in the text, as the Windows call does.
  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= given.size()) {
    size_t j = given.find('/', i);
    if (j == std::string::npos) j = given.size();
    std::string part = given.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  std::string made;
  for (const std::string& part : parts) made += "/" + part;
  if (made.empty()) made = "/";
  if (given.size() > 1 && given.back() == '/' && made != "/") made += "/";
  if (made.size() >= size) return false;
  std::memcpy(out, made.c_str(), made.size() + 1);
  return true;
}
}  // namespace

char* PlatNativePath(const char* path, char* out, size_t size) {
  if (out == nullptr || size == 0) return out;
  out[0] = '\0';
  return NoThrow<char*>(out, [&]() -> char* {
    std::string p;
    ResolvePath(path, &p);
    size_t n = p.size() < size - 1 ? p.size() : size - 1;
    std::memcpy(out, p.data(), n);
    out[n] = '\0';
    return out;
  });
}

bool PlatAbsolutePath(const char* path, char* out, size_t size) {
  if (out == nullptr || size == 0) return false;
  out[0] = '\0';
  if (path == nullptr || *path == '\0') return false;
  return NoThrow<bool>(false, [&]() -> bool { return AbsolutePathOf(path, out, size); });
}

}  // namespace vk
