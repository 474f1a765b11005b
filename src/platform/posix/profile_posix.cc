// Profiles on POSIX: INI files read and written with the Windows semantics.
//
// Every read goes to the file.  A write takes the profile's lock file, reads
// the profile, changes the lines it must, writes the result to a temporary
// file beside it and renames that over the original, so readers see the old
// file or the new one and two writers never lose each other's keys.  Lines end in CR LF as the
// Windows calls write them; LF alone is accepted on reading.
#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/posix/posix_internal.h"
#include "platform/profile.h"

namespace vk {

namespace {

using posix::NamesEqualNoCase;
using posix::SetErrno;
using posix::SetError;

std::mutex g_workstation_mu;
bool g_workstation_set = false;
std::string g_workstation_path;

std::string WorkstationPath() {
  {
    std::lock_guard<std::mutex> lock(g_workstation_mu);
    if (g_workstation_set) return g_workstation_path;
  }
  const char* env = getenv("VKMSG_WININI");
  if (env != nullptr && *env != '\0') return env;
  const char* xdg = getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && *xdg == '/') return std::string(xdg) + "/vkmsg/win.ini";
  const char* home = getenv("HOME");
  if (home == nullptr || *home == '\0') {
    struct passwd* pw = getpwuid(getuid());
    home = pw != nullptr ? pw->pw_dir : "/tmp";
  }
  return std::string(home) + "/.config/vkmsg/win.ini";
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t i = 0;
  while (i < text.size()) {
    size_t j = text.find('\n', i);
    if (j == std::string::npos) j = text.size();
    std::string line = text.substr(i, j - i);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    i = j + 1;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  return text;
}

// A section header's name, when the line is one.
bool SectionOf(const std::string& line, std::string* name) {
  std::string t = Trim(line);
  if (t.empty() || t[0] != '[') return false;
  size_t close = t.find(']');
  *name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
  return true;
}

// A key line's name and value (comments and lines without '=' are none).
bool KeyOf(const std::string& line, std::string* key, std::string* value) {
  std::string t = Trim(line);
  if (t.empty() || t[0] == ';' || t[0] == '[') return false;
  size_t eq = t.find('=');
  if (eq == std::string::npos) return false;
  *key = Trim(t.substr(0, eq));
  if (value != nullptr) *value = Trim(t.substr(eq + 1));
  return !key->empty();
}

// The lines [header, end) of the first section named `section` at or after
// line `from`; false when there is none.
bool FindSection(const std::vector<std::string>& lines, const std::string& section, size_t from, size_t* header,
                 size_t* end) {
  std::string name;
  for (size_t i = from; i < lines.size(); ++i) {
    if (!SectionOf(lines[i], &name) || !NamesEqualNoCase(name.c_str(), section.c_str())) continue;
    size_t j = i + 1;
    while (j < lines.size() && !SectionOf(lines[j], &name)) ++j;
    *header = i;
    *end = j;
    return true;
  }
  return false;
}

// The whole file into `text`; a missing one reads as empty.  false when the
// file exists but could not be read.
//
// An SMB client through FUSE (smbnetfs) may end a read at the size it last
// knew, when another workstation has just made the file longer: a writer
// would then drop the keys at its end.  The size is asked for first, which
// refreshes what the client knows, and a read that ends short of the size
// the open file reports is read again, for as long as such a client keeps
// sizes (a second), then reported.
constexpr uint32_t kSizeSettleMs = 1500;

bool ReadProfileText(const std::string& path, std::string* text) {
  const uint32_t start = PlatTickCount();
  for (int attempt = 0;; ++attempt) {
    text->clear();
    struct stat st;
    const bool sized = stat(path.c_str(), &st) == 0;
    if (!sized && errno == ENOENT) return true;
    // One block for the text as large as the file was a moment ago: growing
    // it step by step costs more than reading a large passwd file.
    if (sized && st.st_size > 0) text->reserve(static_cast<size_t>(st.st_size) + 1);
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      if (errno == ENOENT) return true;
      SetErrno(errno);
      return false;
    }
    char buf[32768];
    bool ok = true;
    for (;;) {
      ssize_t n = read(fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        SetErrno(errno);
        ok = false;
      }
      if (n <= 0) break;
      try {
        text->append(buf, static_cast<size_t>(n));
      } catch (...) {
        close(fd);
        throw;
      }
    }
    const bool whole = fstat(fd, &st) == 0 && static_cast<off_t>(text->size()) >= st.st_size;
    close(fd);
    if (!ok || whole) return ok;
    if (PlatTickCount() - start >= kSizeSettleMs) {
      SetError(PlatError::kSharingViolation);
      return false;
    }
    PlatSleepMs(attempt < 20 ? 1 + attempt : 20);
  }
}

// What a reader sees: an unreadable file reads as empty, as on Windows.
std::string ProfileText(const std::string& path) {
  std::string text;
  if (!ReadProfileText(path, &text)) text.clear();
  return text;
}

std::string ProfileFile(const char* file) {
  std::string given = file != nullptr ? std::string(file) : WorkstationPath();
  std::string resolved;
  posix::ResolvePath(given.c_str(), &resolved);
  return resolved;
}

int DeliverValue(const std::string& v, char* out, int size) {
  size_t n = v.size() < static_cast<size_t>(size - 1) ? v.size() : static_cast<size_t>(size - 1);
  std::memcpy(out, v.data(), n);
  out[n] = '\0';
  return static_cast<int>(n);
}

int DeliverRun(const std::vector<std::string>& names, char* out, int size) {
  std::string run;
  for (const std::string& n : names) {
    run += n;
    run += '\0';
  }
  if (run.size() + 1 <= static_cast<size_t>(size)) {
    std::memcpy(out, run.data(), run.size());
    out[run.size()] = '\0';
    if (run.empty() && size > 1) out[1] = '\0';
    return static_cast<int>(run.size());
  }
  if (size < 2) {
    out[0] = '\0';
    return 0;
  }
  std::memcpy(out, run.data(), static_cast<size_t>(size - 2));
  out[size - 2] = '\0';
  out[size - 1] = '\0';
  return size - 2;
}

std::string Unquote(std::string v) {
  if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) v = v.substr(1, v.size() - 2);
  return v;
}

// ASCII case-insensitive equality of the text [b, e) and `s`, the rule
// NamesEqualNoCase applies.
bool RangeEqualsNoCase(const char* b, const char* e, const std::string& s) {
  if (static_cast<size_t>(e - b) != s.size()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    char x = b[i], y = s[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

void TrimRange(const char** b, const char** e) {
  while (*b < *e && IsBlank(**b)) ++*b;
  while (*e > *b && IsBlank((*e)[-1])) --*e;
}

// A key's value in one pass over the bytes, reading the lines as
// SplitLines, SectionOf, FindSection and KeyOf do: the first section of that
// name, the first key of that name in it.  A large passwd file is read for
// every password check, and splitting it into lines first costs several
// times the read itself.
bool LookUp(const std::string& text, const std::string& section, const std::string& key, std::string* value) {
  const char* at = text.data();
  const char* const end = at + text.size();
  bool inside = false;
  while (at < end) {
    const char* nl = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)));
    const char* b = at;
    const char* e = nl != nullptr ? nl : end;
    at = nl != nullptr ? nl + 1 : end;
    if (e > b && e[-1] == '\r') --e;
    TrimRange(&b, &e);
    if (b == e) continue;
    if (*b == '[') {
      if (inside) return false;
      const char* close = static_cast<const char*>(std::memchr(b, ']', static_cast<size_t>(e - b)));
      const char* nb = b + 1;
      const char* ne = close != nullptr ? close : e;
      TrimRange(&nb, &ne);
      inside = RangeEqualsNoCase(nb, ne, section);
      continue;
    }
    if (!inside || *b == ';') continue;
    const char* eq = static_cast<const char*>(std::memchr(b, '=', static_cast<size_t>(e - b)));
    if (eq == nullptr) continue;
    const char* kb = b;
    const char* ke = eq;
    TrimRange(&kb, &ke);
    if (kb == ke || !RangeEqualsNoCase(kb, ke, key)) continue;
    const char* vb = eq + 1;
    const char* ve = e;
    TrimRange(&vb, &ve);
    *value = Unquote(std::string(vb, ve));
    return true;
  }
  return false;
}

// Applies one write to the lines; false when nothing changed.
bool ApplyWrite(std::vector<std::string>* lines, const std::string& section, const char* key, const char* value) {
  bool changed = false;
  size_t header, end;
  if (key == nullptr) {
    while (FindSection(*lines, section, 0, &header, &end)) {
      lines->erase(lines->begin() + static_cast<long>(header), lines->begin() + static_cast<long>(end));
      changed = true;
    }
    return changed;
  }
  std::string name = Trim(key), k;
  if (value == nullptr) {
    size_t from = 0;
    while (FindSection(*lines, section, from, &header, &end)) {
      for (size_t i = end; i-- > header + 1;) {
        if (KeyOf((*lines)[i], &k, nullptr) && NamesEqualNoCase(k.c_str(), name.c_str())) {
          lines->erase(lines->begin() + static_cast<long>(i));
          --end;
          changed = true;
        }
      }
      from = end;
    }
    return changed;
  }
  if (!FindSection(*lines, section, 0, &header, &end)) {
    if (!lines->empty() && !Trim(lines->back()).empty()) lines->push_back("");
    lines->push_back("[" + section + "]");
    lines->push_back(name + "=" + value);
    return true;
  }
  for (size_t i = header + 1; i < end; ++i) {
    if (KeyOf((*lines)[i], &k, nullptr) && NamesEqualNoCase(k.c_str(), name.c_str())) {
      std::string line = k + "=" + value;
      if ((*lines)[i] == line) return false;
      (*lines)[i] = line;
      return true;
    }
  }
  size_t at = end;
  while (at > header + 1 && Trim((*lines)[at - 1]).empty()) --at;
  lines->insert(lines->begin() + static_cast<long>(at), name + "=" + value);
  return true;
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Writers of one profile exclude each other with a lock directory beside
// it, "<profile>.lck", made with mkdir.  Byte-range locks would be simpler,
// but a second workstation's SMB client never sees them, and a file created
// only-if-new is not exclusive through every SMB client (smbnetfs opens an
// existing file instead, when two clients create at once); making a
// directory is decided by the server, for every client and on every disk.
// The holder leaves its random token in the file "owner" inside.
//
// A writer that dies leaves its lock behind, so a lock can go stale.  A
// waiter takes a lock for stale when its token has not changed for
// kLockStaleMs by the waiter's own clock, so the workstations' clocks never
// have to agree.  A live writer can never fall foul of that rule: it gives
// up, writing nothing, rather than commit once it has held the lock for
// kHoldLimitMs, a quarter of the stale age; a write holds it for
// milliseconds.
constexpr uint32_t kLockStaleMs = 10000;
constexpr uint32_t kHoldLimitMs = kLockStaleMs / 4;
// How long a writer waits for the lock: long enough to outlast a stale one.
constexpr uint32_t kLockWaitMs = kLockStaleMs + 5000;
// How often a waiter reads the holder's token.
constexpr uint32_t kLookEveryMs = 250;

struct WriterLock {
  std::string dir;    // the lock directory
  std::string owner;  // the token file in it
  std::string token;
  uint32_t taken_at = 0;
  uint64_t seed = 0;  // of this writer's back-off pauses
};

// Up to 255 bytes of a small file; false when it cannot be read (gone).
bool ReadSmallFile(const std::string& path, std::string* text) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[256];
  ssize_t n;
  do {
    n = read(fd, buf, sizeof buf - 1);
  } while (n < 0 && errno == EINTR);
  close(fd);
  if (n < 0) return false;
  text->assign(buf, static_cast<size_t>(n));
  return true;
}

// A short pause that grows with the attempts and differs between writers,
// so that writers on several workstations do not keep meeting.
void BackOff(unsigned attempt, uint64_t* seed) {
  *seed = *seed * 6364136223846793005ull + 1442695040888963407ull;
  unsigned ceiling = attempt < 5 ? (2u << attempt) : 64u;
  PlatSleepMs(1 + static_cast<unsigned>((*seed >> 33) % ceiling));
}

// Removes a lock: its token file, then the directory.  A share refuses
// while a waiter is reading the token (EBUSY), which passes in a moment.
// Gives up at `until`, when the lock will go stale anyway.
void RemoveLock(const WriterLock& lock, uint32_t until) {
  uint64_t seed = until;
  for (unsigned attempt = 0;; ++attempt) {
    if ((unlink(lock.owner.c_str()) == 0 || errno == ENOENT) && (rmdir(lock.dir.c_str()) == 0 || errno == ENOENT))
      return;
    if (errno != EBUSY && errno != ENOTEMPTY && errno != EIO) return;
    if (static_cast<int32_t>(PlatTickCount() - until) >= 0) return;
    BackOff(attempt, &seed);
  }
}

bool TakeLock(const std::string& profile, WriterLock* lock) {
  uint64_t random = PlatRandomSeed();
  random = (random << 32) ^ PlatRandomSeed();
  char host[64] = "";
  gethostname(host, sizeof host - 1);
  char token[160];
  std::snprintf(token, sizeof token, "%s %ld %016llx\n", host, static_cast<long>(getpid()),
                static_cast<unsigned long long>(random));
  lock->dir = profile + ".lck";
  lock->owner = lock->dir + "/owner";
  lock->token = token;
  lock->seed = random;

  const uint32_t start = PlatTickCount();
  std::string seen;
  bool looked = false;
  uint32_t seen_since = start, looked_at = start - kLookEveryMs;
  for (unsigned attempt = 0;; ++attempt) {
    if (mkdir(lock->dir.c_str(), 0777) == 0) {
      int fd = open(lock->owner.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
      bool ok = fd >= 0 && WriteAll(fd, lock->token);
      int err = errno;
      if (fd >= 0 && close(fd) != 0 && ok) {
        ok = false;
        err = errno;
      }
      if (!ok) {
        RemoveLock(*lock, PlatTickCount() + kHoldLimitMs);
        SetErrno(err);
        return false;
      }
      lock->taken_at = PlatTickCount();
      return true;
    }
    // Some clients answer an existing directory with an I/O error.
    if (errno != EEXIST && errno != EIO) {
      SetErrno(errno);
      return false;
    }
    // The token is read only now and then: on a share, every reader of it
    // keeps its holder from removing it meanwhile.
    const uint32_t now = PlatTickCount();
    if (now - looked_at >= kLookEveryMs) {
      looked_at = now;
      std::string holder;
      ReadSmallFile(lock->owner, &holder);  // none yet, or gone: ""
      if (!looked || holder != seen) {
        looked = true;
        seen = holder;
        seen_since = now;
      } else if (now - seen_since >= kLockStaleMs) {
        // Its writer is gone.  Look once more right before removing it, so
        // that a lock just taken by a live writer stays.
        std::string again;
        ReadSmallFile(lock->owner, &again);
        if (again == seen) {
          WriterLock stale;
          stale.dir = lock->dir;
          stale.owner = lock->owner;
          RemoveLock(stale, now + kHoldLimitMs);
        }
        looked = false;
        continue;
      }
    }
    if (now - start >= kLockWaitMs) {
      SetError(PlatError::kSharingViolation);
      return false;
    }
    BackOff(attempt, &lock->seed);
  }
}

// Allocates nothing, so that a writer that failed for want of memory still
// leaves no lock behind.
void DropLock(const WriterLock& lock) {
  int fd = open(lock.owner.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  char buf[256];
  ssize_t n;
  do {
    n = read(fd, buf, sizeof buf);
  } while (n < 0 && errno == EINTR);
  close(fd);
  if (n >= 0 && static_cast<size_t>(n) == lock.token.size() &&
      std::memcmp(buf, lock.token.data(), lock.token.size()) == 0)
    RemoveLock(lock, PlatTickCount() + kHoldLimitMs);
}

// Delivers what a read answers without its profile: `def` for a key, an
// empty run for a list of names.  Allocates nothing.
int DeliverDefault(const char* section, const char* key, const char* def, char* out, int size) {
  if (section == nullptr || key == nullptr || def == nullptr) {
    out[0] = '\0';
    if (size > 1) out[1] = '\0';
    return 0;
  }
  size_t n = std::strlen(def);
  while (n > 0 && IsBlank(def[n - 1])) --n;
  if (n > static_cast<size_t>(size - 1)) n = static_cast<size_t>(size - 1);
  std::memcpy(out, def, n);
  out[n] = '\0';
  return static_cast<int>(n);
}

// Replaces `path` by `text` while `lock` is held: a temporary file in the
// same directory, forced to the disk, then renamed over the original, so a
// reader or a crash sees the old file or the new one.  A share refuses the
// rename while anyone holds the original open (a reader on another
// workstation, say); that is retried until the hold limit, then reported as
// a sharing violation.
bool ReplaceFile(const std::string& path, const std::string& text, mode_t mode, WriterLock* lock) {
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string tmp = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "." + base + ".XXXXXX";
  std::vector<char> name(tmp.begin(), tmp.end());
  name.push_back('\0');
  int fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    SetErrno(errno);
    return false;
  }
  fchmod(fd, mode);  // keep the old file's permissions; failing that, mkstemp's
  bool ok = WriteAll(fd, text) && fsync(fd) == 0;
  int err = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  for (unsigned attempt = 0; ok; ++attempt) {
    if (PlatTickCount() - lock->taken_at >= kHoldLimitMs) {
      ok = false;
      err = EAGAIN;
    } else if (rename(name.data(), path.c_str()) == 0) {
      break;
    } else if (errno == EBUSY || errno == ETXTBSY || errno == EEXIST) {
      // Held open on another workstation: its client answers EEXIST for
      // the name being replaced, a client of the same mount EBUSY.
      BackOff(attempt, &lock->seed);
    } else {
      ok = false;
      err = errno;
    }
  }
  if (!ok) {
    unlink(name.data());
    SetErrno(err);
    return false;
  }
  int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
  return true;
}

void MakeParents(const std::string& path) {
  for (size_t i = 1; i < path.size(); ++i) {
    if (path[i] != '/') continue;
    std::string part = path.substr(0, i);
    mkdir(part.c_str(), 0700);
  }
}

bool HasLineBreak(const char* s) { return s != nullptr && std::strpbrk(s, "\r\n") != nullptr; }

int ReadProfileString(bool injected, const char* file, const char* section, const char* key, const char* def, char* out,
                      int size) {
  std::string text = injected ? std::string() : ProfileText(ProfileFile(file));
  if (section != nullptr && key != nullptr) {
    std::string value;
    if (!LookUp(text, Trim(section), Trim(key), &value)) {
      value = def != nullptr ? def : "";
      while (!value.empty() && IsBlank(value.back())) value.pop_back();
    }
    return DeliverValue(value, out, size);
  }
  std::vector<std::string> lines = SplitLines(text);
  std::string name;
  if (section == nullptr) {
    std::vector<std::string> names;
    for (const std::string& l : lines) {
      if (SectionOf(l, &name) && !name.empty()) names.push_back(name);
    }
    return DeliverRun(names, out, size);
  }
  std::vector<std::string> names;
  size_t header, end;
  if (FindSection(lines, Trim(section), 0, &header, &end)) {
    for (size_t i = header + 1; i < end; ++i) {
      if (KeyOf(lines[i], &name, nullptr)) names.push_back(name);
    }
  }
  return DeliverRun(names, out, size);
}

int ReadProfileInt(const char* file, const char* section, const char* key, int def) {
  std::string value;
  if (section == nullptr || key == nullptr ||
      !LookUp(ProfileText(ProfileFile(file)), Trim(section), Trim(key), &value) || value.empty()) {
    return def;
  }
  size_t i = 0;
  bool negative = false;
  if (value[0] == '-' || value[0] == '+') {
    negative = value[0] == '-';
    ++i;
  }
  unsigned long long n = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    n = n * 10 + static_cast<unsigned>(value[i] - '0');
    if (n > 0xFFFFFFFFull) n &= 0xFFFFFFFFull;  // wraps like the 32-bit original
  }
  uint32_t bits = static_cast<uint32_t>(n);
  if (negative) bits = 0u - bits;
  return static_cast<int>(bits);
}

// Names and values that would break the line structure (a line break, an
// '=' in a key, a ']' in a section name) are refused rather than written.
bool WriteProfileString(const char* file, const char* section, const char* key, const char* value, WriterLock* lock,
                        bool* locked) {
  if (section == nullptr) {
    if (key == nullptr && value == nullptr) return true;  // nothing is cached
    SetError(PlatError::kOther);
    return false;
  }
  std::string sec = Trim(section);
  if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) || sec.empty() ||
      sec.find(']') != std::string::npos ||
      (key != nullptr && (std::strchr(key, '=') != nullptr || Trim(key).empty()))) {
    SetError(PlatError::kOther);
    return false;
  }
  std::string given = file != nullptr ? std::string(file) : WorkstationPath();
  if (file == nullptr) MakeParents(given);
  std::string path;
  bool exists = posix::ResolvePath(given.c_str(), &path);
  if (!exists && value == nullptr) return true;  // nothing to delete
  if (!exists) {
    // Made empty first, so that the replacement gets the permissions any new
    // file gets here.
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
      SetErrno(errno);
      return false;
    }
    close(fd);
  }
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    SetErrno(errno);
    return false;
  }
  if (!TakeLock(path, lock)) return false;
  *locked = true;
  std::string text;
  bool ok = ReadProfileText(path, &text);
  if (ok) {
    std::vector<std::string> lines = SplitLines(text);
    if (ApplyWrite(&lines, sec, key, value)) ok = ReplaceFile(path, JoinLines(lines), st.st_mode & 07777, lock);
  }
  *locked = false;
  DropLock(*lock);
  return ok;
}

}  // namespace

// Every exported call works in strings: a failed allocation fails the call
// as the platform's own would (a read delivers its default), after
// releasing what it holds, instead of unwinding into the caller.
int PlatGetProfileString(const char* file, const char* section, const char* key, const char* def, char* out, int size) {
  bool injected = PlatFaultHit();
  if (injected) SetError(PlatError::kInjected);
  if (out == nullptr || size <= 0) return 0;
  try {
    return ReadProfileString(injected, file, section, key, def, out, size);
  } catch (...) {
    SetError(PlatError::kOther);
    return DeliverDefault(section, key, def, out, size);
  }
}

int PlatGetProfileInt(const char* file, const char* section, const char* key, int def) {
  if (PlatFaultHit()) {
    SetError(PlatError::kInjected);
    return def;
  }
  try {
    return ReadProfileInt(file, section, key, def);
  } catch (...) {
    SetError(PlatError::kOther);
    return def;
  }
}

bool PlatWriteProfileString(const char* file, const char* section, const char* key, const char* value) {
  if (PlatFaultHit()) {
    SetError(PlatError::kInjected);
    return false;
  }
  WriterLock lock;
  bool locked = false;
  try {
    return WriteProfileString(file, section, key, value, &lock, &locked);
  } catch (...) {
    if (locked) DropLock(lock);
    SetError(PlatError::kOther);
    return false;
  }
}

void PlatSetWorkstationProfile(const char* path) {
  try {
    std::lock_guard<std::mutex> lock(g_workstation_mu);
    g_workstation_set = path != nullptr;
    g_workstation_path = path != nullptr ? path : "";
  } catch (...) {
    // A stand-in that could not be kept must not leave the calls on the real
    // profile: an empty path, which no call can open, stands in instead.
    g_workstation_set = path != nullptr;
    g_workstation_path.clear();
  }
}

}  // namespace vk
