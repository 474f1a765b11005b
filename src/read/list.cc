// The mailbox listing: a directory scan of the user's mailbox and a header
// read per message file, every summary carved out of one result block.
#include "read/list.h"

#include <cstddef>
#include <cstring>

#include "store/namelist.h"
#include "cmc/handlers.h"
#include "platform/file.h"
#include "platform/memory.h"
#include "platform/text.h"
#include "read/header.h"
#include "store/bufread.h"
#include "store/config.h"
#include "store/fileprim.h"

namespace vk {

namespace {

// What the listing reserves per summary when it makes its block.
constexpr uint32_t kSummaryReserve = 416;
// The originator's name: at most 31 characters.
constexpr size_t kOriginatorNameSize = 32;
// A message name is at most this long.
constexpr size_t kMessageNameMax = 128;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// The length of a text of which only the first `limit` characters count.
size_t BoundedLength(const char* text, size_t limit) {
  if (text == nullptr) return 0;
  size_t n = 0;
  while (n < limit && text[n] != '\0') ++n;
  return n;
}

// Bytes a reference of `length` characters takes in its block.
uint32_t ReferenceBytes(size_t length) { return static_cast<uint32_t>(5 + ((length | 3) + 1)); }

// How many summaries one block can take at all: every summary needs its
// record and a reference.  More are never asked for at once; the host goes
// on with a seed.
uint32_t SummaryCapacity() {
  const size_t dir = std::strlen(g_mail_config.user_dir);
  const uint32_t each = static_cast<uint32_t>(sizeof(CMC_message_summary)) + ReferenceBytes(dir + 12);
  return kPoolMaxData / each;
}

// The file-name part of the seed into `out` (kPathMax bytes).  Empty for no
// seed or an empty one; false when the seed can name no file (too long, or
// nothing after its last separator).
bool SeedName(const CMC_message_reference* seed, char* out) {
  out[0] = '\0';
  if (seed == nullptr) return true;
  const size_t n = BoundedLength(seed->string, seed->length < kPathMax + 1 ? seed->length : kPathMax + 1);
  if (n == 0) return true;
  if (n > kPathMax) return false;
  size_t name = n;
  while (name > 0 && !IsSeparator(seed->string[name - 1]) && seed->string[name - 1] != ':') --name;
  if (name == n) return false;
  std::memcpy(out, seed->string + name, n - name);
  out[n - name] = '\0';
  return true;
}

// A name ending in the empty extension's dot names the file without it,
// which is how the directory search reports it.
void DropEmptyExtensionDot(char* name) {
  const size_t len = std::strlen(name);
  if (len >= 2 && name[len - 1] == '.' && name[len - 2] != '.') name[len - 1] = '\0';
}

// The name under which the message `name` exists in `dir`, into `found`
// (kPathMax bytes): the plain file spelled exactly so, else its read twin
// spelled exactly so.  Where the file system folds case an entry that
// matches without regard to case is the same file; elsewhere it is another
// message, and a stale reference must not reach it.  false when there is
// none, or it is a directory, pipe, device or link.
bool FindMessageEntry(const char* dir, const char* name, char* found) {
  for (int twin = 0; twin < 2; ++twin) {
    char want[kPathMax + 8];
    CopyBounded(want, name, kPathMax);
    DropEmptyExtensionDot(want);
    if (twin == 1) {
      if (HasReadMark(want)) break;
      std::strcat(want, kReadMarkExt);
    }
    if (!PathFits(dir, want)) break;
    char pattern[kPathMax];
    CopyBounded(pattern, dir, kPathMax);
    AppendBounded(pattern, want, kPathMax);
    DirEntry e;
    bool hit = false;
    SearchHandle search = PlatFindFirst(pattern, &e);
    // The file spelled exactly so comes first; the rest of the directory is
    // read only when it is not there.
    for (bool more = search != nullptr; more && !hit;) {
      const bool plain =
          e.attributes == kAttrInvalid || !(e.attributes & (kAttrDirectory | kAttrDevice | kAttrReparsePoint));
      hit = plain && (std::strcmp(e.long_name, want) == 0 || std::strcmp(e.short_name, want) == 0 ||
                      (kNamesFoldCase && PlatCompareNoCase(e.long_name, want) == 0));
      if (!hit) more = PlatFindNext(search, &e);
    }
    if (search != nullptr) PlatFindClose(search);
    if (hit) {
      CopyBounded(found, want, kPathMax);
      return true;
    }
  }
  return false;
}

// The message names of one scan of a mailbox, in scan order, kept between
// calls: a host paging with seeds continues where its last page ended
// instead of scanning the whole mailbox again for every page.  A listing
// without a seed always scans afresh; a seed that the snapshot does not hold
// does too.  Names are packed, each with its terminator, in `text`; `at`
// holds where each begins.  Like every process-wide record of the library
// it is unguarded: the host calls from one thread at a time.
struct MailboxSnapshot {
  char dir[kPathMax];
  GlobalHandle text_block;
  char* text;
  size_t text_used, text_size;
  GlobalHandle at_block;
  uint32_t* at;
  uint32_t count, slots;
  uint32_t resume;  // the last name handed out: the next page's seed
  bool failed;      // memory ran out while scanning
  HeldDir held;     // the directory scanned, its files opened by name (null: by path)
  // The held directory's stamp before the page being listed opened any of
  // its files, when the platform vouches for it.
  FileStamp page;
  bool page_stamped;
};

MailboxSnapshot g_snapshot{};

const char* SnapshotName(uint32_t i) { return g_snapshot.text + g_snapshot.at[i]; }

// Makes room for `need` bytes in a growing block, keeping its contents.
bool Reserve(GlobalHandle* block, void** bytes, size_t used, size_t* size, size_t need) {
  if (need <= *size) return true;
  size_t grown = *size < 4096 ? 4096 : *size * 2;
  while (grown < need) grown *= 2;
  GlobalHandle fresh = PlatGlobalAlloc(kGmemMoveable, grown);
  void* to = fresh != nullptr ? PlatGlobalLock(fresh) : nullptr;
  if (to == nullptr) {
    if (fresh != nullptr) PlatGlobalFree(fresh);
    return false;
  }
  if (used > 0) std::memcpy(to, *bytes, used);
  if (*block != nullptr) {
    PlatGlobalUnlock(*block);
    PlatGlobalFree(*block);
  }
  *block = fresh;
  *bytes = to;
  *size = grown;
  return true;
}

void DropSnapshot() {
  PlatReleaseDir(g_snapshot.held);
  for (GlobalHandle* block : {&g_snapshot.text_block, &g_snapshot.at_block}) {
    if (*block == nullptr) continue;
    PlatGlobalUnlock(*block);
    PlatGlobalFree(*block);
  }
  g_snapshot = MailboxSnapshot{};
}

bool AddToSnapshot(void*, const char* name, const DirEntry& entry) {
  // Only plain files are messages: a pipe would block the reader that opens
  // it, and a link would list whatever it points to.
  if (entry.attributes != kAttrInvalid && (entry.attributes & (kAttrDevice | kAttrReparsePoint))) return true;
  if (!IsMessageFileName(name)) return true;
  MailboxSnapshot& s = g_snapshot;
  const size_t n = std::strlen(name) + 1;
  size_t slot_bytes = static_cast<size_t>(s.slots) * sizeof(uint32_t);
  void* text = s.text;
  void* at = s.at;
  if (!Reserve(&s.text_block, &text, s.text_used, &s.text_size, s.text_used + n) ||
      !Reserve(&s.at_block, &at, s.count * sizeof(uint32_t), &slot_bytes, (s.count + 1) * sizeof(uint32_t))) {
    s.failed = true;
    return false;
  }
  s.text = static_cast<char*>(text);
  s.at = static_cast<uint32_t*>(at);
  s.slots = static_cast<uint32_t>(slot_bytes / sizeof(uint32_t));
  s.at[s.count++] = static_cast<uint32_t>(s.text_used);
  std::memcpy(s.text + s.text_used, name, n);
  s.text_used += n;
  return true;
}

// Scans `dir` afresh into the snapshot: 1, 0 when memory ran out, -1 when
// the directory could not be read whole: a mailbox read in part is no
// listing.
int TakeSnapshot(const char* dir) {
  DropSnapshot();
  CopyBounded(g_snapshot.dir, dir, kPathMax);
  // Held for as long as the names are: every message of a page is opened,
  // and looked at again by the read that follows, without the walk down
  // the mailbox's path.  Without it they are reached by path.
  g_snapshot.held = PlatHoldDir(dir);
  const bool scanned = ScanFiles(dir, nullptr, AddToSnapshot, nullptr);
  if (scanned && !g_snapshot.failed) return 1;
  const int result = g_snapshot.failed ? 0 : -1;
  DropSnapshot();
  return result;
}

// Where `name` stands in the snapshot: the entry spelled exactly so first
// (on a case-sensitive disk "KWZ12AB" and "kwz12ab" are two messages, and
// matching the wrong one would send a pager back to an earlier page for
// ever), else the first that matches without regard to case.
bool FindInSnapshot(const char* name, uint32_t* index) {
  uint32_t loose = g_snapshot.count;
  for (uint32_t i = 0; i < g_snapshot.count; ++i) {
    if (std::strcmp(SnapshotName(i), name) == 0) {
      *index = i;
      return true;
    }
    if (loose == g_snapshot.count && PlatCompareNoCase(SnapshotName(i), name) == 0) loose = i;
  }
  *index = loose;
  return loose < g_snapshot.count;
}

// The start name, or the name of its read twin (a seed taken before its
// message was read).
bool FindStart(const char* start, uint32_t* index) {
  if (FindInSnapshot(start, index)) return true;
  if (HasReadMark(start)) return false;
  char twin[kPathMax + 8];
  CopyBounded(twin, start, kPathMax);
  std::strcat(twin, kReadMarkExt);
  return FindInSnapshot(twin, index);
}

// Messages the listing read whole, kept for the read that follows: a host
// lists a page and then reads its messages, and opening each file again
// would cost as much as the listing did.  Each is served once, and only
// while the file under its name still has the stamp it had when the listing
// read it: a message file never changes once it has its name, and a rename
// to the read name, or a delete and a new delivery, gives it another stamp.
// Where the mailbox directory's own stamp has not moved since before the
// listing opened the file, no name in it has changed, and one look at the
// directory stands for the look at the file.
// The oldest make way for new ones.  Unguarded, like the snapshot.
struct ListedMessage {
  char path[kPathMax];
  uint32_t hash;  // of the path
  FileStamp stamp;
  FileStamp dir;
  bool dir_stamped;
  BufferedFile* reader;  // detached from its file
};
constexpr int kListedKept = 128;
ListedMessage g_listed[kListedKept];
int g_listed_next;

// The held mailbox directory, when the snapshot is of the mailbox.
HeldDir HeldMailbox() {
  return g_snapshot.held != nullptr && std::strcmp(g_snapshot.dir, g_mail_config.user_dir) == 0 ? g_snapshot.held
                                                                                                : nullptr;
}

// Of the path's end only: the paths share the mailbox's long start, and
// the names differ within their last characters.
uint32_t PathHash(const char* path, size_t length) {
  uint32_t h = 2166136261u;
  const size_t from = length > 16 ? length - 16 : 0;
  for (size_t i = from; i < length; ++i) h = (h ^ static_cast<unsigned char>(path[i])) * 16777619u;
  return h;
}

// Keeps the reader of `path`, whose file had `stamp` when it was opened,
// for a read to come when it holds the whole file; closes it either way.
void KeepListed(const char* path, BufferedFile* reader, const FileStamp& stamp) {
  const size_t length = std::strlen(path);
  if (!HoldsWholeFile(reader) || reader->end != stamp.size || length >= kPathMax) {
    CloseBuffered(reader);
    return;
  }
  DetachBuffered(reader);
  ListedMessage& slot = g_listed[g_listed_next];
  g_listed_next = (g_listed_next + 1) % kListedKept;
  CloseBuffered(slot.reader);
  std::memcpy(slot.path, path, length + 1);
  slot.hash = PathHash(path, length);
  slot.stamp = stamp;
  slot.dir = g_snapshot.page;
  slot.dir_stamped = g_snapshot.page_stamped;
  slot.reader = reader;
}

// The slot keeping a reader of `path`; null when none is kept.
ListedMessage* FindKept(const char* path) {
  const uint32_t hash = PathHash(path, std::strlen(path));
  // A host reads in the order it listed: the slot after the one found last
  // is looked at first.
  static int next_found;
  for (int k = 0; k < kListedKept; ++k) {
    const int at = (next_found + k) % kListedKept;
    ListedMessage& slot = g_listed[at];
    if (slot.reader == nullptr || slot.hash != hash || std::strcmp(slot.path, path) != 0) continue;
    next_found = (at + 1) % kListedKept;
    return &slot;
  }
  return nullptr;
}

// The slot's reader, taken out of the keeping.
BufferedFile* TakeReader(ListedMessage* slot) {
  BufferedFile* reader = slot->reader;
  slot->reader = nullptr;
  return reader;
}

// Checks the reference as MessagePathFromReference does and writes the
// mailbox directory followed by the name the reference gives into `out`
// (kPathMax bytes), without looking for the file.  1, or 0.
int ReferencedPath(const CMC_message_reference* reference, char* out) {
  out[0] = '\0';
  const char* mailbox = g_mail_config.user_dir;
  const size_t mailbox_len = std::strlen(mailbox);
  if (reference == nullptr || mailbox_len == 0) return 0;
  const size_t limit = reference->length < kReferenceMax + 1 ? reference->length : kReferenceMax + 1;
  const size_t n = BoundedLength(reference->string, limit);
  if (n == 0 || n > kReferenceMax) return 0;

  char text[kReferenceMax + 1];
  std::memcpy(text, reference->string, n);
  text[n] = '\0';
  size_t cut = n;
  while (cut > 0 && !IsSeparator(text[cut - 1])) --cut;
  if (cut == 0) return 0;  // no directory at all: relative to wherever the host stands
  const char* name = text + cut;
  if (!IsPlainFileName(name) || !IsMessageFileName(name)) return 0;
  if (!PathFits(mailbox, name)) return 0;

  char dir[kReferenceMax + 1];
  std::memcpy(dir, text, cut);
  dir[cut] = '\0';
  // Most references come back spelled as they were handed out.
  bool inside = std::strcmp(dir, mailbox) == 0 || PlatCompareNoCase(dir, mailbox) == 0;
  if (!inside) {
    // Another spelling of the mailbox is fine; a way through "..", or any
    // other directory, is not.
    for (size_t i = 0; i < cut; ++i) {
      if (IsSeparator(dir[i])) dir[i] = kPathSep;
    }
    const size_t dots = std::strlen(VK_SEP ".." VK_SEP);
    for (size_t i = 0; i + dots <= cut; ++i) {
      if (std::strncmp(dir + i, VK_SEP ".." VK_SEP, dots) == 0) return 0;
    }
    if (cut >= kPathMax) return 0;
    char canonical[kPathMax];
    CopyBounded(canonical, dir, kPathMax);
    char own[kPathMax];
    CopyBounded(own, mailbox, kPathMax);
    // "." components change nothing but the spelling.
    for (;;) {
      char* dot = std::strstr(canonical, VK_SEP "." VK_SEP);
      if (dot == nullptr) break;
      std::memmove(dot, dot + 2, std::strlen(dot + 2) + 1);
    }
    inside = CanonicalDir(canonical) && CanonicalDir(own) && PlatCompareNoCase(canonical, own) == 0;
  }
  if (!inside) return 0;
  // Both fit (PathFits above).
  const size_t name_len = std::strlen(name);
  std::memcpy(out, mailbox, mailbox_len);
  std::memcpy(out + mailbox_len, name, name_len + 1);
  return 1;
}

}  // namespace

int IsMessageFileName(const char* name) {
  if (name == nullptr || name[0] == '\0' || name[0] == '.') return 0;
  const size_t len = std::strlen(name);
  if (len > kMessageNameMax) return 0;
  for (size_t i = 0; i < len; ++i) {
    if (IsSeparator(name[i]) || name[i] == ':') return 0;
  }
  const char* dot = std::strrchr(name, '.');
  if (dot == nullptr) return 1;
  if (dot[1] == '\0') return 1;
  return PlatCompareNoCase(dot, kReadMarkExt) == 0 ? 1 : 0;
}

CMC_message_reference* MakeMessageReference(const char* file_name, ResultPool* pool) {
  if (file_name == nullptr || file_name[0] == '\0' || pool == nullptr) return nullptr;
  const size_t dir = std::strlen(g_mail_config.user_dir);
  const size_t name = std::strlen(file_name);
  if (dir == 0 || dir + name > kReferenceMax) return nullptr;
  const size_t length = dir + name;
  auto* ref = static_cast<CMC_message_reference*>(PoolAllocRecord(pool, ReferenceBytes(length)));
  if (ref == nullptr) return nullptr;
  ref->length = static_cast<CMC_uint32>(length);
  std::memcpy(ref->string, g_mail_config.user_dir, dir);
  std::memcpy(ref->string + dir, file_name, name);
  ref->string[length] = '\0';
  return ref;
}

int MessagePathFromReference(const CMC_message_reference* reference, char* out, size_t size) {
  if (out == nullptr || size == 0) return 0;
  out[0] = '\0';
  char given[kPathMax];
  if (!ReferencedPath(reference, given) || std::strlen(given) + 1 > size) return 0;
  const char* mailbox = g_mail_config.user_dir;
  const size_t mailbox_len = std::strlen(mailbox);
  char found[kPathMax];
  if (!FindMessageEntry(mailbox, given + mailbox_len, found) || mailbox_len + std::strlen(found) + 1 > size) return 0;
  CopyBounded(out, mailbox, size);
  AppendBounded(out, found, size);
  return 1;
}

BufferedFile* TakeListedMessage(const CMC_message_reference* reference, char* path) {
  if (path == nullptr || !ReferencedPath(reference, path)) return nullptr;
  ListedMessage* slot = FindKept(path);
  if (slot == nullptr) return nullptr;
  BufferedFile* reader = TakeReader(slot);
  FileStamp now;
  HeldDir held = HeldMailbox();
  bool same = held != nullptr && slot->dir_stamped && PlatStampOfDir(held, &now) && now == slot->dir;
  if (!same) {
    same = (held != nullptr ? PlatStampIn(held, path + std::strlen(g_mail_config.user_dir), &now)
                            : PlatStampOfPath(path, &now)) &&
           now == slot->stamp;
  }
  if (!same || SeekBuffered(reader, 0) != 0) {
    CloseBuffered(reader);
    return nullptr;
  }
  return reader;
}

void ForgetListing() {
  DropSnapshot();
  for (ListedMessage& slot : g_listed) {
    CloseBuffered(slot.reader);
    slot.reader = nullptr;
  }
}

void ForgetListedMessage(const char* path) {
  ListedMessage* slot = path != nullptr ? FindKept(path) : nullptr;
  if (slot != nullptr) CloseBuffered(TakeReader(slot));
}

CMC_return_code ReadSummary(CMC_message_summary* summary, ResultPool* pool) {
  if (summary == nullptr || pool == nullptr || summary->message_reference == nullptr) return CMC_E_FAILURE;
  const CMC_message_reference* ref = summary->message_reference;
  char path[kReferenceMax + 8];
  const size_t n = BoundedLength(ref->string, ref->length < kReferenceMax ? ref->length : kReferenceMax);
  std::memcpy(path, ref->string, n);
  path[n] = '\0';

  WorkBuffer value(kFieldValueSize);
  if (value.bytes == nullptr) return CMC_E_INSUFFICIENT_MEMORY;
  // Reading needs no write access, and other workstations may go on using
  // the file meanwhile.  A message read since the scan found it is listed
  // under its read name's contents: the reference still opens it.
  // The stamp tells the read that follows whether the file is still this
  // one, and its size spares the reader a read only to meet the end.
  FileStamp stamp;
  bool stamped = false;
  HeldDir held = HeldMailbox();
  const size_t dir_len = std::strlen(g_mail_config.user_dir);
  FileHandle h = kNoFile;
  if (held != nullptr && std::strncmp(path, g_mail_config.user_dir, dir_len) == 0) {
    h = PlatOpenIn(held, path + dir_len, ShareMode::kReadWrite, &stamp);
    stamped = h != kNoFile;
  } else {
    h = OpenFileMode(path, kModeReadShared);
  }
  PlatError e = h == kNoFile ? PlatLastError() : PlatError::kOk;
  if (e == PlatError::kNotFound) {
    h = OpenMessageFile(path, kModeReadShared);
    e = h == kNoFile ? PlatLastError() : PlatError::kOk;
  }
  if (h == kNoFile) {
    // Gone since the scan, or never to be read by this user: left out.  A
    // refusal that passes, or a failing device, fails the listing instead of
    // hiding the message from it.
    return e == PlatError::kNotFound || e == PlatError::kAccessDenied ? CMC_E_INVALID_MESSAGE_REFERENCE : CMC_E_FAILURE;
  }
  if (!stamped) stamped = PlatStampOf(h, &stamp);
  stamped = stamped && stamp.size < kEndUnknown;
  BufferedFile* reader =
      OpenFreshBuffered(h, kBufferedCapacity, stamped ? static_cast<uint32_t>(stamp.size) : kEndUnknown);
  if (reader == nullptr) {
    // An empty file has no header to list; one that could not be read does.
    const CMC_return_code rc = FileSizeOf(h) == 0 ? CMC_E_INVALID_MESSAGE_REFERENCE : CMC_E_FAILURE;
    CloseFile(h);
    return rc;
  }
  if (HasReadMark(path)) summary->summary_flags |= CMC_SUM_READ;

  CMC_return_code rc = CMC_SUCCESS;
  for (;;) {
    int id = kFieldUnknown;
    if (ReadHeaderField(reader, &id, value.bytes, kFieldValueSize) != CMC_SUCCESS) {
      rc = CMC_E_FAILURE;
      break;
    }
    if (id == kFieldEnd) break;
    if (id == kFieldDatePosted) {
      // A date that does not parse keeps the pieces that did, as a read of
      // the message does: the message is still listed.
      ParseDatePosted(value.bytes, &summary->time_sent);
    } else if (id == kFieldFrom) {
      CMC_recipient* from = summary->originator;
      if (from == nullptr) {
        from = static_cast<CMC_recipient*>(PoolAllocRecord(pool, sizeof(CMC_recipient)));
        if (from == nullptr) {
          rc = CMC_E_INSUFFICIENT_MEMORY;
          break;
        }
      }
      char name[kOriginatorNameSize];
      NameFromAddress(value.bytes, name, sizeof name);
      from->address = PoolDupString(pool, value.bytes);
      from->name = PoolDupString(pool, name);
      from->name_type = CMC_TYPE_INDIVIDUAL;
      from->role = CMC_ROLE_ORIGINATOR;
      from->recip_flags = 0;
      from->recip_extensions = nullptr;
      summary->originator = from;
      if (from->address == nullptr || from->name == nullptr) {
        rc = CMC_E_INSUFFICIENT_MEMORY;
        break;
      }
    } else if (id == kFieldSubject || id == kFieldMessageType) {
      char* copy = PoolDupString(pool, value.bytes);
      if (copy == nullptr) {
        rc = CMC_E_INSUFFICIENT_MEMORY;
        break;
      }
      if (id == kFieldSubject) {
        summary->subject = copy;
      } else {
        summary->message_type = copy;
      }
    }
  }
  if (rc == CMC_SUCCESS && stamped) {
    KeepListed(path, reader, stamp);
  } else {
    CloseBuffered(reader);
  }
  return rc;
}

int ListMessageFiles(const char* start, uint32_t keep, NameList** names, uint32_t* total) {
  NameList* unused = nullptr;
  uint32_t count = 0;
  if (names == nullptr) {
    names = &unused;
    keep = 0;
  }
  if (total == nullptr) total = &count;
  *names = nullptr;
  *total = 0;
  const char* dir = g_mail_config.user_dir;
  if (dir[0] == '\0' || std::strlen(dir) + 5 > kPathMax) {
    DropSnapshot();
    return 1;
  }
  if (!DirExists(dir)) {
    // No mailbox yet holds no mail; a mailbox that could not even be
    // tested is no empty one.
    DropSnapshot();
    return PlatGetAttributes(dir) == kAttrInvalid && PlatLastError() != PlatError::kNotFound ? -1 : 1;
  }

  char first[kPathMax + 8] = "";
  if (start != nullptr && start[0] != '\0') {
    if (std::strlen(start) >= kPathMax) return 1;
    CopyBounded(first, start, kPathMax);
    DropEmptyExtensionDot(first);
  }
  uint32_t from = 0;
  // The page after the one handed out last starts at its last name: that
  // costs nothing to find.
  const bool same = first[0] != '\0' && g_snapshot.at != nullptr && std::strcmp(g_snapshot.dir, dir) == 0;
  if (same && g_snapshot.resume < g_snapshot.count && std::strcmp(SnapshotName(g_snapshot.resume), first) == 0) {
    from = g_snapshot.resume;
  } else if (!(same && FindStart(first, &from))) {
    const int taken = TakeSnapshot(dir);
    if (taken != 1) return taken;
    if (first[0] != '\0' && !FindStart(first, &from)) return 1;
  }
  *total = g_snapshot.count - from;
  g_snapshot.resume = from;
  if (keep == 0 || *total == 0) return 1;

  NameList* list = CreateNameList(32, 1024);
  if (list == nullptr) return 0;
  for (uint32_t i = from; i < g_snapshot.count && list->count < keep; ++i) {
    const unsigned before = list->count;
    list = AddName(list, SnapshotName(i), kNameModeAppend);
    // A list that cannot grow keeps what it has: the host asks again with a
    // seed for the rest.
    if (list->count == before) break;
  }
  if (list->count > 0) g_snapshot.resume = from + list->count - 1;
  *names = list;
  return 1;
}

CMC_return_code ListMessages(CMC_flags list_flags, CMC_message_reference* seed, CMC_uint32 maximum, CMC_uint32* count,
                             CMC_message_summary** result) {
  if (count == nullptr) return CMC_E_INVALID_PARAMETER;
  *count = 0;
  if (result != nullptr) *result = nullptr;
  const bool count_only = (list_flags & CMC_LIST_COUNT_ONLY) != 0;
  if (result == nullptr && !count_only) return CMC_E_INVALID_PARAMETER;
  if (maximum == 0 || maximum > kListMaximum) maximum = kListMaximum;

  char start[kPathMax];
  if (!SeedName(seed, start)) return CMC_SUCCESS;

  // Counting reads names only: no message file is opened.
  uint32_t total = 0;
  const int listed = ListMessageFiles(start, 0, nullptr, &total);
  if (listed != 1) return listed == 0 ? CMC_E_INSUFFICIENT_MEMORY : CMC_E_FAILURE;
  if (count_only) {
    *count = total < maximum ? total : maximum;
    return CMC_SUCCESS;
  }
  if (total == 0) return CMC_SUCCESS;
  const uint32_t capacity = SummaryCapacity();
  uint32_t n = maximum < capacity ? maximum : capacity;
  if (n > total) n = total;

  ResultPool pool{};
  const uint64_t reserve = static_cast<uint64_t>(n) * kSummaryReserve;
  PoolInit(&pool, reserve > kPoolMaxData ? kPoolMaxData : static_cast<uint32_t>(reserve));
  if (pool.next == nullptr) return CMC_E_INSUFFICIENT_MEMORY;
  auto* array =
      static_cast<CMC_message_summary*>(PoolAllocRecord(&pool, n * static_cast<uint32_t>(sizeof(CMC_message_summary))));
  if (array == nullptr) {
    PoolReleaseBlock(pool.data);
    return CMC_E_INSUFFICIENT_MEMORY;
  }

  const bool refs_only = (list_flags & CMC_LIST_MSG_REFS_ONLY) != 0;
  const size_t dir_len = std::strlen(g_mail_config.user_dir);
  // Taken before any file of the page is opened: a name that changes after
  // this moves it.
  HeldDir held = HeldMailbox();
  g_snapshot.page_stamped = !refs_only && held != nullptr && PlatStampOfDir(held, &g_snapshot.page);
  uint32_t counted = 0;
  uint32_t last = g_snapshot.resume;
  bool full = false;
  // A file that cannot be read takes no place of the maximum: a page that
  // came back short would look like the end of the mailbox to the host.
  for (uint32_t i = g_snapshot.resume; i < g_snapshot.count && counted < n && !full; ++i) {
    const char* name = SnapshotName(i);
    // A path that cannot be handed out whole would name another file.
    if (dir_len + std::strlen(name) > kReferenceMax) continue;
    CMC_message_summary* summary = &array[counted];
    summary->message_reference = MakeMessageReference(name, &pool);
    if (summary->message_reference == nullptr) {
      full = true;
      break;
    }
    if (!refs_only) {
      const CMC_return_code rc = ReadSummary(summary, &pool);
      if (rc == CMC_E_FAILURE) {
        g_snapshot.page_stamped = false;
        PoolReleaseBlock(pool.data);
        return CMC_E_FAILURE;
      }
      if (rc != CMC_SUCCESS) {
        std::memset(summary, 0, sizeof *summary);
        // A full block ends the listing with what fits; a file that is gone
        // or empty is left out.
        if (rc == CMC_E_INSUFFICIENT_MEMORY) full = true;
        continue;
      }
    }
    last = i;
    ++counted;
  }
  g_snapshot.resume = last;
  g_snapshot.page_stamped = false;

  if (counted == 0) {
    PoolReleaseBlock(pool.data);
    return full ? CMC_E_INSUFFICIENT_MEMORY : CMC_SUCCESS;
  }
  array[counted - 1].summary_flags |= CMC_SUM_LAST_ELEMENT;
  *count = counted;
  *result = array;
  return CMC_SUCCESS;
}

}  // namespace vk
