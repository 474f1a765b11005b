#include "send/check.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/profile.h"
#include "read/header.h"
#include "send/parcel.h"
#include "store/bufread.h"
#include "store/fileprim.h"
#include "store/namelist.h"
#include "store/paths.h"
#include "users/registry.h"

namespace vk {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool EndsWith(const std::string& name, const char* tail) {
  const std::string t = Lower(tail);
  return name.size() > t.size() && Lower(name.substr(name.size() - t.size())) == t;
}

struct Entry {
  std::string name;
  bool dir;
  bool hidden;
};

class Checker {
 public:
  Checker(bool repair, const CheckCallbacks& cb, CheckTotals* totals) : repair_(repair), cb_(cb), totals_(totals) {}

  // The entries of `dir` (with its trailing separator); empty when it cannot
  // be searched.  Links and devices are nobody's debris and are left out.
  std::vector<Entry> List(const std::string& dir) {
    std::vector<Entry> out;
    DirEntry e;
    SearchHandle s = PlatFindFirst((dir + "*.*").c_str(), &e);
    if (s == nullptr) return out;
    do {
      if (e.attributes & (kAttrReparsePoint | kAttrDevice)) continue;
      out.push_back({e.long_name, (e.attributes & kAttrDirectory) != 0, (e.attributes & kAttrHidden) != 0});
      if (++totals_->entries % kCheckProgressEvery == 0 && cb_.progress) cb_.progress(cb_.context, totals_->entries);
    } while (PlatFindNext(s, &e));
    PlatFindClose(s);
    return out;
  }

  static bool Stale(const std::string& path) {
    int64_t age = 0;
    return PlatFileAge(path.c_str(), &age) && age > kStaleSeconds;
  }

  // Deletes the files of a claim or lock directory, then the directory.
  bool RemoveDirAndFiles(const std::string& dir) {
    for (const Entry& e : List(dir + kPathSep)) {
      if (!e.dir) PlatDeleteFile((dir + kPathSep + e.name).c_str());
    }
    return PlatRemoveDir(dir.c_str());
  }

  void Found(Debris kind, const std::string& path, bool dir) {
    CheckFinding f{kind, path.c_str(), true, false};
    ++totals_->found;
    switch (kind) {
      case Debris::kBrokenMessage:
      case Debris::kUserWithoutDirs:
      case Debris::kDirWithoutUser:
        ++totals_->report_only;
        break;
      default:
        f.report_only = false;
        if (!repair_) break;
        f.removed = dir ? RemoveDirAndFiles(path) : PlatDeleteFile(path.c_str());
        ++(f.removed ? totals_->removed : totals_->failed);
    }
    if (cb_.finding) cb_.finding(cb_.context, f);
  }

  // Guards anywhere; in staging directories every stale file too.
  void Staging(const std::string& dir) {
    for (const Entry& e : List(dir)) {
      const std::string path = dir + e.name;
      if (e.dir && EndsWith(e.name, kGuardExt) && Stale(path)) Found(Debris::kGuard, path, true);
      if (!e.dir && Stale(path)) Found(Debris::kStagedFile, path, false);
    }
  }

  // The temporaries and lock of the profile file `file` in `dir`.
  void ProfileDebris(const std::string& dir, const char* file) {
    const std::string temp = Lower(std::string(".") + file + ".");
    for (const Entry& e : List(dir)) {
      const std::string path = dir + e.name, low = Lower(e.name);
      if (!Stale(path)) continue;
      if (e.dir && low == Lower(std::string(file) + ".lck")) Found(Debris::kProfileLock, path, true);
      const bool posixTemp = low.size() == temp.size() + 6 && low.compare(0, temp.size(), temp) == 0;
      const bool win32Temp = low.size() > 7 && low.compare(0, 3, "vkp") == 0 && EndsWith(low, ".tmp");
      if (!e.dir && (posixTemp || win32Temp)) Found(Debris::kProfileTemp, path, false);
    }
  }

  // Claims, broken messages, and the parcels the messages name, lower case.
  void Mailbox(const std::string& dir, std::set<std::string>* named) {
    for (const Entry& e : List(dir)) {
      const std::string path = dir + e.name;
      if (e.dir) {
        if (EndsWith(e.name, kClaimExt) && Stale(path)) Found(Debris::kClaim, path, true);
        if (EndsWith(e.name, kGuardExt) && Stale(path)) Found(Debris::kGuard, path, true);
        continue;
      }
      if (e.hidden) continue;
      const FileHandle h = OpenFileMode(path.c_str(), kModeReadShared);
      if (h == kNoFile) continue;  // in use or gone: nothing to say about it
      bool tagged = false;
      if (BufferedFile* reader = OpenBuffered(h, kBufferedCapacity)) {
        int id = kFieldUnknown;
        char value[kFieldValueSize];
        tagged = ReadHeaderField(reader, &id, value, sizeof value) == 0 && id == kFieldTag;
        ReleaseBuffered(reader);
      }
      // A broken file may still name parcels its user wants.
      if (NameList* names = ParcelNames(h)) {
        for (unsigned i = 0; i < names->count; ++i) {
          std::string n = Lower(names->slots[i]);
          while (!n.empty() && n.back() == '.') n.pop_back();
          named->insert(n);
        }
        FreeNameList(names);
      }
      CloseFile(h);
      if (!tagged) Found(Debris::kBrokenMessage, path, false);
    }
  }

  void Parcels(const std::string& dir, const std::set<std::string>& named) {
    for (const Entry& e : List(dir)) {
      const std::string path = dir + e.name;
      if (e.dir) {
        if (EndsWith(e.name, kGuardExt) && Stale(path)) Found(Debris::kGuard, path, true);
      } else if (!e.hidden && named.count(Lower(e.name)) == 0 && Stale(path)) {
        Found(Debris::kOrphanParcel, path, false);
      }
    }
  }

 private:
  bool repair_;
  const CheckCallbacks& cb_;
  CheckTotals* totals_;
};

// The lower-case names of the users in `passwd`.
std::set<std::string> PasswdUsers(const std::string& passwd) {
  std::vector<char> keys(4096);
  int n = 0;
  for (;;) {
    n = PlatGetProfileString(passwd.c_str(), kPasswordsSection, nullptr, "", keys.data(),
                             static_cast<int>(keys.size()));
    if (n < static_cast<int>(keys.size()) - 2 || keys.size() > (1u << 26)) break;
    keys.resize(keys.size() * 4);
  }
  std::set<std::string> users;
  for (const char* k = keys.data(); k < keys.data() + n && *k; k += std::strlen(k) + 1) users.insert(Lower(k));
  return users;
}

int Check(const char* mailDir, bool repair, const CheckCallbacks& callbacks, CheckTotals* totals) {
  std::string mail = mailDir ? mailDir : "";
  if (!mail.empty() && !IsPathSep(mail.back())) mail += kPathSep;
  const std::string passwd = mail + kPasswdRel, usersDir = mail + kUsersDir;
  if (mail.empty() || OpenFileMode(passwd.c_str(), kModeExist) != 1 || !DirExists(usersDir.c_str())) return 1;
  Checker c(repair, callbacks, totals);
  c.Staging(mail + kSndDir);
  c.Staging(mail + kParcelDir);
  c.ProfileDebris(mail + kPublicDir, "passwd");

  std::set<std::string> registered = PasswdUsers(passwd), seen;
  for (const Entry& e : c.List(usersDir)) {
    if (!e.dir) continue;
    const std::string home = usersDir + e.name + kPathSep;
    seen.insert(Lower(e.name));
    if (registered.count(Lower(e.name)) == 0) c.Found(Debris::kDirWithoutUser, home, false);
    c.ProfileDebris(home, kLocalAddressBook);
    std::set<std::string> named;
    c.Mailbox(home + kUserMailboxDir, &named);
    c.Parcels(home + kUserParcelDir, named);
    if (registered.count(Lower(e.name)) &&
        (!DirExists((home + kUserMailboxDir).c_str()) || !DirExists((home + kUserParcelDir).c_str())))
      c.Found(Debris::kUserWithoutDirs, e.name, false);
  }
  // The administrator has no directories of his own.
  for (const std::string& u : registered) {
    if (u != "admin" && seen.count(u) == 0) c.Found(Debris::kUserWithoutDirs, u, false);
  }
  return 0;
}

}  // namespace

int CheckMailTree(const char* mailDir, bool repair, const CheckCallbacks& callbacks, CheckTotals* totals) {
  CheckTotals ignored;
  if (totals == nullptr) totals = &ignored;
  *totals = CheckTotals();
  try {
    return Check(mailDir, repair, callbacks, totals);
  } catch (const std::bad_alloc&) {
    return 2;
  }
}

const char* DebrisName(Debris kind) {
  switch (kind) {
    case Debris::kStagedFile:
      return "stale staged file";
    case Debris::kClaim:
      return "unfinished mailbox copy";
    case Debris::kGuard:
      return "name guard";
    case Debris::kProfileTemp:
      return "profile temporary";
    case Debris::kProfileLock:
      return "stale profile lock";
    case Debris::kOrphanParcel:
      return "parcel no message names";
    case Debris::kBrokenMessage:
      return "message file that does not parse";
    case Debris::kUserWithoutDirs:
      return "user without his directories";
    case Debris::kDirWithoutUser:
      return "directory without a user";
  }
  return "?";
}

}  // namespace vk
