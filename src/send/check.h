// Finding and removing what failed or killed sends and profile writes leave
// in a mail tree: staged files in SND and PARCEL, claim directories
// "KWZxxxx.tmp" with their message file, guard directories "<name>.new",
// profile temporaries (".passwd.XXXXXX", "vkp*.tmp") and lock directories
// "<file>.lck", and parcels in IPARCEL that no message of their user names.
// Message files that do not parse, users in passwd without their
// directories and user directories without a user are reported only: they
// may hold a user's mail, which only an administrator may decide about.
//
// Only debris older than kStaleSeconds is touched, so a send or a profile
// write in progress on another workstation (whose clock may differ from
// the file server's) is never disturbed.
#ifndef VK_SEND_CHECK_H
#define VK_SEND_CHECK_H

#include <cstdint>

namespace vk {

constexpr int64_t kStaleSeconds = 3600;

enum class Debris {
  kStagedFile,       // a file in SND or PARCEL
  kClaim,            // "KWZxxxx.tmp" in a mailbox, with its message file
  kGuard,            // "<name>.new"
  kProfileTemp,      // a profile file's temporary copy
  kProfileLock,      // "<file>.lck" with its token file
  kOrphanParcel,     // a parcel no message of its user names
  kBrokenMessage,    // a mailbox file without the "SMF-71" tag line (report only)
  kUserWithoutDirs,  // in passwd, but USERS/<name>/MHS or IPARCEL is missing (report only)
  kDirWithoutUser,   // a directory below USERS that no passwd entry names (report only)
};

struct CheckFinding {
  Debris kind;
  const char* path;  // the file or directory, or the user's name
  bool report_only;  // never removed
  bool removed;      // with repair: gone now; false when the removal failed
};

struct CheckTotals {
  uint64_t entries = 0;  // directory entries looked at
  uint64_t found = 0;
  uint64_t removed = 0;
  uint64_t failed = 0;  // removals tried that failed
  uint64_t report_only = 0;
};

struct CheckCallbacks {
  void (*finding)(void* context, const CheckFinding& finding) = nullptr;
  // Every kCheckProgressEvery entries, with the count so far.
  void (*progress)(void* context, uint64_t entries) = nullptr;
  void* context = nullptr;
};
constexpr uint64_t kCheckProgressEvery = 1000;

// Checks the mail tree whose mail directory (MHS/MAIL, with or without a
// trailing separator) is `mailDir`, removing what it finds unless report
// only when `repair` is set; reports each finding as it is made.  Returns
// 0, or 1 when the mail directory is no mail tree (PUBLIC/passwd and USERS
// missing), 2 when memory ran out; *totals is filled either way.
int CheckMailTree(const char* mailDir, bool repair, const CheckCallbacks& callbacks, CheckTotals* totals);

// Debris's name as the tool prints it ("staged file").
const char* DebrisName(Debris kind);

}  // namespace vk

#endif
