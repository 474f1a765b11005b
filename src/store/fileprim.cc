#include "store/fileprim.h"

#include <cstdio>
#include <cstring>

#include "platform/clock.h"

namespace vk {

namespace {

// Paths this long or longer are refused by the directory tests, as the
// platform's own limit (MAX_PATH) would refuse them.
constexpr size_t kDirPathLimit = 261;

ShareMode ShareFromMode(OpenMode mode) {
  switch (mode & kOpenShareMask) {
    case kOpenShareCompat:
    case kOpenShareDenyNone:
      return ShareMode::kReadWrite;
    case kOpenShareDenyWrite:
      return ShareMode::kRead;
    case kOpenShareDenyRead:
      return ShareMode::kWrite;
    default:
      return ShareMode::kNone;
  }
}

unsigned AccessFromMode(OpenMode mode) {
  switch (mode & kOpenAccessMask) {
    case kOpenRead:
      return kAccessRead;
    case kOpenWrite:
      return kAccessWrite;
    case kOpenReadWrite:
      return kAccessReadWrite;
    default:
      return kAccessNone;
  }
}

bool EndsWithSep(const char* path, size_t len) {
  return len > 0 && (path[len - 1] == kPathSep || path[len - 1] == '\\');
}

// Whether a name is known to be free: absent, and absent for a known reason.
// An attribute query that failed for another reason (an I/O error) leaves
// the name in doubt, and a name in doubt is not used.
bool KnownAbsent(const char* path) {
  if (PlatGetAttributes(path) != kAttrInvalid) return false;
  PlatError e = PlatLastError();
  return e == PlatError::kNotFound || e == PlatError::kOk;
}

}  // namespace

FileHandle OpenFileMode(const char* path, OpenMode mode) {
  if (path == nullptr || *path == '\0') {
    if (mode & kOpenDelete) return 0;
    if (mode & (kOpenParse | kOpenReopen)) return 0;
    return kNoFile;
  }
  if (mode & kOpenDelete) return PlatDeleteFile(path) ? 1 : 0;

  unsigned access = AccessFromMode(mode);
  ShareMode share = ShareFromMode(mode);
  bool inherit = (mode & kOpenNoInherit) == 0;

  if (mode & kOpenExist) {
    FileHandle h = PlatOpen(path, access, share, Disposition::kOpenExisting, inherit);
    if (h == kNoFile) return kNoFile;
    PlatClose(h);
    return 1;
  }
  if (mode & (kOpenParse | kOpenReopen)) return 0;

  if (mode & kOpenCreate) {
    return PlatOpen(path, access | kAccessWrite, share, Disposition::kOpenAlways, inherit);
  }
  return PlatOpen(path, access, share, Disposition::kOpenExisting, inherit);
}

int CloseFile(FileHandle h) {
  if (h == kNoFile) return -1;
  return PlatClose(h) == 0 ? 0 : -1;
}

uint32_t SeekFile(FileHandle h, int32_t offset, int32_t* high, int origin) {
  if (h == kNoFile || origin < 0 || origin > 2) return 0xFFFFFFFFu;
  int64_t distance;
  if (high != nullptr) {
    distance = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*high)) << 32) |
                                    static_cast<uint32_t>(offset));
  } else {
    distance = offset;
  }
  int64_t pos = PlatSeek(h, distance, origin);
  if (pos < 0) return 0xFFFFFFFFu;
  if (high != nullptr) *high = static_cast<int32_t>(static_cast<uint64_t>(pos) >> 32);
  return static_cast<uint32_t>(static_cast<uint64_t>(pos) & 0xFFFFFFFFu);
}

uint32_t ReadFileBytes(FileHandle h, void* buffer, uint32_t count) {
  if (h == kNoFile || buffer == nullptr || count == 0) return 0;
  long n = PlatRead(h, buffer, count);
  return n > 0 ? static_cast<uint32_t>(n) : 0;
}

uint32_t WriteFileBytes(FileHandle h, const void* buffer, uint32_t count) {
  if (h == kNoFile || buffer == nullptr || count == 0) return 0;
  long n = PlatWrite(h, buffer, count);
  return n > 0 ? static_cast<uint32_t>(n) : 0;
}

uint32_t FileSize(FileHandle h) {
  if (h == kNoFile) return 0xFFFFFFFFu;
  int64_t size = PlatFileSize(h);
  if (size < 0 || size >= 0xFFFFFFFFll) return 0xFFFFFFFFu;
  return static_cast<uint32_t>(size);
}

int TruncateFile(FileHandle h, uint32_t length) {
  if (h == kNoFile) return 0;
  int64_t here = PlatSeek(h, 0, 1);
  if (here < 0) return 0;
  if (PlatSeek(h, length, 0) < 0) return 0;
  bool cut = PlatTruncate(h, length);
  // The position goes back even when cutting failed, so the caller's
  // further writes land where it expects.
  bool back = PlatSeek(h, here, 0) == here;
  return cut && back ? 1 : 0;
}

int FlushFile(FileHandle h) {
  if (h == kNoFile) return 0;
  return PlatFlush(h) ? 1 : 0;
}

int SetHidden(const char* path) {
  if (path == nullptr || *path == '\0') return 0;
  return PlatSetAttributes(path, kAttrHidden) ? 1 : 0;
}

int DirExists(const char* path) {
  if (path == nullptr || *path == '\0') return 0;
  size_t len = std::strlen(path);
  if (len >= kDirPathLimit) return 0;
  uint32_t attr = PlatGetAttributes(path);
  if (attr != kAttrInvalid && (attr & kAttrDirectory)) return 1;
  if (len > 1 && EndsWithSep(path, len)) {
    char copy[kDirPathLimit];
    std::memcpy(copy, path, len - 1);
    copy[len - 1] = '\0';
    attr = PlatGetAttributes(copy);
    if (attr != kAttrInvalid && (attr & kAttrDirectory)) return 1;
  }
  return 0;
}

int MakeDir(const char* path) {
  if (path == nullptr || *path == '\0') return 0;
  if (DirExists(path)) return 1;
  size_t len = std::strlen(path);
  if (len >= kDirPathLimit) return 0;
  char copy[kDirPathLimit];
  std::memcpy(copy, path, len + 1);
  if (len > 1 && EndsWithSep(copy, len)) copy[len - 1] = '\0';
  if (PlatMakeDir(copy)) return 1;
  // Another workstation may have made it at the same moment.
  return PlatLastError() == PlatError::kExists && DirExists(copy) ? 1 : 0;
}

int RemoveDir(const char* path) {
  if (path == nullptr || *path == '\0') return 0;
  size_t len = std::strlen(path);
  if (len >= kDirPathLimit) return 0;
  if (PlatRemoveDir(path)) return 1;
  if (len > 1 && EndsWithSep(path, len)) {
    char copy[kDirPathLimit];
    std::memcpy(copy, path, len - 1);
    copy[len - 1] = '\0';
    if (PlatRemoveDir(copy)) return 1;
  }
  return 0;
}

namespace {

// Lets a claim (or guard) directory go, deleting `file` in it first when
// one is given; a refusal that passes (a share's client still closing the
// file) gets one more try.
bool DropClaim(const char* claim, const char* file) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (file != nullptr && !PlatDeleteFile(file) && PlatLastError() != PlatError::kNotFound) continue;
    if (PlatRemoveDir(claim) || PlatLastError() == PlatError::kNotFound) return true;
  }
  return false;
}

// The name built in `out` up to `stem_end` is free when its read twin is
// absent, and, for a claim (a stand-in for the bare name), when the bare
// name is absent too.
bool StemFree(const char* out, size_t stem_end, bool claim) {
  char other[kDirPathLimit + 8];
  if (stem_end + 5 > sizeof other) return false;
  std::memcpy(other, out, stem_end);
  other[stem_end] = '\0';
  if (claim && !KnownAbsent(other)) return false;
  std::memcpy(other + stem_end, ".red", 5);
  return KnownAbsent(other);
}

// Creates what `out` names, only if new: the file itself, or for a claim
// the claim directory and then the message file in it ("KWZxxxx.tmp/"
// "KWZxxxx"), whose path `out` then receives.  kNoFile with the platform's
// error in *why when the name is taken or refused; a claim is then let go.
FileHandle TakeName(char* out, size_t stem_end, bool claim, PlatError* why) {
  FileHandle h = kNoFile;
  if (!claim) {
    // Only a directory is made only-if-new by the server for every client
    // (see ClaimMessageName), so the name is held by a short-lived guard
    // directory "<name>.new" while its file is created.
    char guard[kDirPathLimit + 8];
    std::memcpy(guard, out, stem_end);
    std::memcpy(guard + stem_end, kGuardExt, std::strlen(kGuardExt) + 1);
    if (!PlatMakeDir(guard)) {
      *why = PlatLastError();
      return kNoFile;
    }
    h = PlatOpen(out, kAccessReadWrite, ShareMode::kReadWrite, Disposition::kCreateNew, true);
    *why = PlatLastError();
    DropClaim(guard, nullptr);
    return h;
  }
  if (!PlatMakeDir(out)) {
    *why = PlatLastError();
    return kNoFile;
  }
  const size_t len = std::strlen(out);
  out[len] = kPathSep;
  std::memcpy(out + len + 1, out + stem_end - kUniqueNameLength, kUniqueNameLength);
  out[len + 1 + kUniqueNameLength] = '\0';
  h = PlatOpen(out, kAccessReadWrite, ShareMode::kReadWrite, Disposition::kCreateNew, false);
  if (h == kNoFile) {
    *why = PlatLastError();
    out[len] = '\0';
    DropClaim(out, nullptr);
    // Nobody else creates in a claim that is ours: count it as a refusal.
    if (*why == PlatError::kExists) *why = PlatError::kAccessDenied;
  }
  return h;
}

// Once this many candidates were taken, the directory is read once and the
// names it holds are no longer tried one by one: a directory near its
// 65,536 names is then walked in bounded time.
constexpr int kTakenBeforeScan = 32;

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Sets the bit of every value whose name (`prefix` and four digits, in any
// case, with any extension) `dir` holds.  False when the directory could not
// be read to its end.
bool MarkTakenNames(const char* dir, size_t dir_len, const char* prefix, size_t prefix_len, unsigned char* taken) {
  char pattern[kPathMax];
  if (dir_len + prefix_len + 2 >= kPathMax) return false;
  std::memcpy(pattern, dir, dir_len);
  pattern[dir_len] = '\0';
  AppendBounded(pattern, prefix, kPathMax);
  AppendBounded(pattern, "*", kPathMax);
  DirEntry entry;
  SearchHandle search = PlatFindFirst(pattern, &entry);
  if (search == nullptr) return PlatLastError() == PlatError::kNotFound;
  do {
    const char* name = entry.long_name;
    if (std::strlen(name) < prefix_len + 4) continue;
    bool same = true;
    for (size_t i = 0; i < prefix_len && same; ++i) same = FoldAscii(name[i]) == FoldAscii(prefix[i]);
    int value = 0;
    for (size_t i = 0; i < 4 && same; ++i) {
      const int d = HexValue(name[prefix_len + i]);
      same = d >= 0;
      value = value * 16 + d;
    }
    if (same) taken[value >> 3] |= static_cast<unsigned char>(1u << (value & 7));
  } while (PlatFindNext(search, &entry));
  PlatFindClose(search);
  return true;
}

// The one generator of new names: `prefix` + four lowercase hexadecimal
// digits + `ext`, created only if new, in an order that differs between
// processes (writers that start in the same millisecond must not walk the
// same names).
FileHandle CreateUnique(const char* dir, const char* prefix, const char* ext, bool claim, char* out, size_t size) {
  if (dir == nullptr || prefix == nullptr || out == nullptr) return kNoFile;
  uint32_t seed = PlatTickCount() ^ PlatRandomSeed();
  size_t dir_len = std::strlen(dir);
  if (dir_len + 2 > size) return kNoFile;
  size_t prefix_len = std::strlen(prefix);
  if (prefix_len < 3) return kNoFile;
  size_t ext_len = std::strlen(ext);

  std::memcpy(out, dir, dir_len + 1);
  if (dir_len > 0 && !EndsWithSep(out, dir_len)) {
    out[dir_len++] = kPathSep;
    out[dir_len] = '\0';
  }
  const size_t stem_end = dir_len + prefix_len + 4;
  // Room for the longest of: the name with its extension, its read twin,
  // and for a claim the message file inside the claim directory.
  size_t longest = stem_end + (ext_len > 4 ? ext_len : 4);
  if (claim) longest = stem_end + ext_len + 1 + kUniqueNameLength;
  if (longest + 1 > size || stem_end + 5 > kDirPathLimit + 8 || (claim && prefix_len + 4 != kUniqueNameLength))
    return kNoFile;
  std::memcpy(out + dir_len, prefix, prefix_len);
  char* digits = out + dir_len + prefix_len;

  // Every value once, from a start and with an odd stride of this
  // process's own.
  const unsigned start = (seed >> 4) & 0xFFFFu;
  const unsigned stride = ((seed * 43013u + 21821u) >> 15) | 1u;
  unsigned char taken[65536 / 8];
  int taken_seen = 0;
  bool scanned = false;
  // A directory that refuses every new name (read-only share) fails at once
  // rather than after walking every candidate.
  int denied_in_a_row = 0;
  for (uint32_t attempt = 0; attempt < kUniqueCandidates; ++attempt) {
    const unsigned value = (start + attempt * stride) & 0xFFFFu;
    if (!scanned && taken_seen >= kTakenBeforeScan) {
      std::memset(taken, 0, sizeof taken);
      scanned = MarkTakenNames(out, dir_len, prefix, prefix_len, taken);
      taken_seen = scanned ? 0 : -kTakenBeforeScan;  // unreadable: try again later
    }
    if (scanned && (taken[value >> 3] & (1u << (value & 7))) != 0) continue;
    std::snprintf(digits, size - (dir_len + prefix_len), "%04x%s", value, ext);

    if (!StemFree(out, stem_end, claim)) {
      ++taken_seen;
      continue;
    }
    PlatError e = PlatError::kOk;
    FileHandle h = TakeName(out, stem_end, claim, &e);
    if (h == kNoFile) {
      if (e == PlatError::kExists) {
        ++taken_seen;
        denied_in_a_row = 0;
        continue;
      }
      // Windows answers "access denied" for a name whose file is being
      // deleted by someone else; a few of those are ordinary.
      if (e == PlatError::kAccessDenied || e == PlatError::kSharingViolation) {
        if (++denied_in_a_row < 16) continue;
      }
      *digits = '\0';
      return kNoFile;
    }
    // The names tested may have appeared between the test and the creation
    // (a reader renamed its message just then): test again now that the
    // name is ours, and give it up if it is in doubt.
    if (StemFree(out, stem_end, claim)) return h;
    PlatClose(h);
    const bool dropped = claim ? ReleaseMessageClaim(out) : PlatDeleteFile(out);
    if (!dropped) {
      *digits = '\0';
      return kNoFile;
    }
    denied_in_a_row = 0;
  }
  *digits = '\0';
  return kNoFile;
}

}  // namespace

FileHandle UniqueFile(const char* dir, const char* prefix, char* out, size_t size) {
  return CreateUnique(dir, prefix, ".", false, out, size);
}

FileHandle UniqueFileDefault(const char* dir, char* out, size_t size) {
  return UniqueFile(dir, kUniquePrefix, out, size);
}

FileHandle ClaimMessageName(const char* dir, char* out, size_t size) {
  return CreateUnique(dir, kUniquePrefix, kClaimExt, true, out, size);
}

namespace {
// The claim directory of a claimed message file: its path without the last
// component.  false when there is none.
bool ClaimDirOf(const char* path, char* out) {
  CopyBounded(out, path, kPathMax);
  size_t len = std::strlen(out);
  while (len > 0 && out[len - 1] != kPathSep && out[len - 1] != '\\') --len;
  if (len == 0) return false;
  out[len - 1] = '\0';
  return true;
}

}  // namespace

bool PublishClaim(const char* path) {
  char claim[kPathMax], target[kPathMax];
  if (!ClaimDirOf(path, claim)) return false;
  const size_t len = std::strlen(claim), ext = std::strlen(kClaimExt);
  if (len <= ext) return false;
  CopyBounded(target, claim, kPathMax);
  target[len - ext] = '\0';
  if (!PlatRenameNoReplace(path, target)) return false;
  DropClaim(claim, nullptr);
  return true;
}

bool ReleaseMessageClaim(const char* path) {
  char claim[kPathMax];
  if (!ClaimDirOf(path, claim)) return false;
  return DropClaim(claim, path);
}

int64_t CopyFileContents(FileHandle src, FileHandle dst) {
  if (src == kNoFile || PlatSeek(src, 0, 0) != 0) return -1;
  if (dst == kNoFile || PlatSeek(dst, 0, 0) != 0) return -2;
  CopyFailure failed = CopyFailure::kNone;
  const int64_t copied = PlatCopyContents(src, dst, &failed);
  if (copied >= 0) return copied;
  return failed == CopyFailure::kRead ? -1 : failed == CopyFailure::kMemory ? -3 : -2;
}

char* CopyBounded(char* dst, const char* src, size_t size) {
  if (dst == nullptr || src == nullptr || size == 0) return nullptr;
  size_t i = 0;
  for (; i + 1 < size && src[i] != '\0'; ++i) dst[i] = src[i];
  for (; i + 1 < size; ++i) dst[i] = '\0';
  dst[size - 1] = '\0';
  return dst;
}

char* AppendBounded(char* dst, const char* src, size_t size) {
  if (dst == nullptr || src == nullptr || size == 0) return dst;
  size_t len = 0;
  while (len + 1 < size && dst[len] != '\0') ++len;
  while (len + 1 < size && *src != '\0') dst[len++] = *src++;
  dst[len] = '\0';
  dst[size - 1] = '\0';
  return dst;
}

int CompareBounded(const char* a, const char* b, size_t count) {
  if (a == nullptr || b == nullptr) {
    if (a == b) return 0;
    return a == nullptr ? -1 : 1;
  }
  for (size_t i = 0; i < count; ++i) {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == '\0') return 0;
  }
  return 0;
}

int32_t ParseDecimal(const char* s) {
  if (s == nullptr) return 0;
  size_t limit = 0;
  while (limit < 10 && s[limit] != '\0') ++limit;
  while (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\r' || *s == '\v' || *s == '\f') ++s;
  uint32_t value = 0;
  bool negative = false;
  for (size_t i = 0; i < limit; ++i) {
    char c = s[i];
    if (i == 0 && c == '-') {
      negative = true;
    } else if (c >= '0' && c <= '9') {
      value = value * 10u + static_cast<uint32_t>(c - '0');
    } else {
      break;
    }
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

char* FormatDecimal(int32_t value, char* buffer) {
  if (buffer == nullptr) return nullptr;
  std::snprintf(buffer, 12, "%ld", static_cast<long>(value));
  return buffer;
}

CMC_extension* FindExtension(CMC_extension* extensions, CMC_uint32 item_code) {
  if (extensions == nullptr) return nullptr;
  for (CMC_extension* e = extensions;; ++e) {
    if (e->item_code == item_code) return e;
    if (e->extension_flags & CMC_EXT_LAST_ELEMENT) return nullptr;
  }
}

}  // namespace vk
