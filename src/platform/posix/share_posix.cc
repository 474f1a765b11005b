// Sharing modes on POSIX, emulated with open-file-description locks; what
// is honoured is stated at PlatOpen.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/posix/posix_internal.h"

namespace vk {
namespace posix {

namespace {

// Each open handle holds shared locks on the marker bytes
// that describe it (it reads, it writes, it refuses readers, it refuses
// writers); an opener places its own markers first and then looks for a
// conflicting marker of any other handle.  Of two openers that race, the one
// that looks last always sees the other, so two conflicting handles never
// both stand; both may step back, which the retry loop settles.
// The markers lie far past any real file's end.
constexpr off_t kMarkerBase = static_cast<off_t>(1) << 40;
constexpr off_t kHasRead = kMarkerBase + 0;
constexpr off_t kHasWrite = kMarkerBase + 1;
constexpr off_t kDenyRead = kMarkerBase + 2;
constexpr off_t kDenyWrite = kMarkerBase + 3;

bool LockByte(int fd, off_t at, short type) {
  struct flock fl = ByteRange(type, at, 1);
  return fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

bool OthersHold(int fd, off_t at) {
  struct flock fl = ByteRange(F_WRLCK, at, 1);
  if (fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

void DropMarkers(int fd) {
  struct flock fl = ByteRange(F_UNLCK, kMarkerBase, 4);
  fcntl(fd, F_OFD_SETLK, &fl);
}

// true when the handle may stand beside every other open handle.
bool TakeShare(int fd, bool reads, bool writes, bool others_read, bool others_write) {
  struct Want {
    bool on;
    off_t at;
  } wants[] = {{reads, kHasRead}, {writes, kHasWrite}, {!others_read, kDenyRead}, {!others_write, kDenyWrite}};
  for (const Want& w : wants) {
    if (w.on && !LockByte(fd, w.at, F_RDLCK)) {
      // No lock support here (or a write-only descriptor): nothing to
      // coordinate with, so the open goes ahead unchecked.
      DropMarkers(fd);
      return true;
    }
  }
  bool conflict = (reads && OthersHold(fd, kDenyRead)) || (writes && OthersHold(fd, kDenyWrite)) ||
                  (!others_read && OthersHold(fd, kHasRead)) || (!others_write && OthersHold(fd, kHasWrite));
  if (conflict) DropMarkers(fd);
  return !conflict;
}

thread_local unsigned t_backoff_seed = PlatRandomSeed();

}  // namespace

bool ShareWithRetry(int fd, bool reads, bool writes, bool others_read, bool others_write) {
  for (int attempt = 0;; ++attempt) {
    if (TakeShare(fd, reads, writes, others_read, others_write)) return true;
    if (attempt == 6) return false;
    PlatSleepMs(1 + rand_r(&t_backoff_seed) % 5);
  }
}

}  // namespace posix
}  // namespace vk
