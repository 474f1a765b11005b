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

// What one pass over the mailbox gathers; see ListMessageFiles.
struct MailboxScan {
  const char* start;  // the name to start at, or null
  bool started;
  uint32_t keep;
  NameList* list;  // made at the first entry when names are kept
  bool collecting;
  bool out_of_memory;
  uint32_t found;
};

bool VisitMailboxFile(void* context, const char* name, const DirEntry& entry) {
  MailboxScan* s = static_cast<MailboxScan*>(context);
  if (s->keep > 0 && s->list == nullptr && !s->out_of_memory) {
    s->list = CreateNameList(32, 1024);
    if (s->list == nullptr) {
      s->out_of_memory = true;
      return false;
    }
    s->collecting = true;
  }
  if (!s->started) {
    if (PlatCompareNoCase(name, s->start) != 0 && PlatCompareNoCase(entry.long_name, s->start) != 0) return true;
    s->started = true;
  }
  if (!IsMessageFileName(name)) return true;
  ++s->found;
  if (!s->collecting) return true;
  const unsigned before = s->list->count;
  s->list = AddName(s->list, name, kNameModeAppend);
  // A list that cannot grow keeps what it has: the host asks again with a
  // seed for the rest.
  if (s->list->count == before || s->list->count >= s->keep) s->collecting = false;
  return true;
}

// One pass over the mailbox; see ListMessageFiles.  *matched tells whether
// `start` was found.
int ScanMailbox(const char* dir, const char* start, uint32_t keep, NameList** names, uint32_t* total, bool* matched) {
  *matched = false;
  if (std::strlen(dir) + 5 > kPathMax) return 1;
  MailboxScan s = {start, start == nullptr, keep, nullptr, false, false, 0};
  ScanFiles(dir, nullptr, VisitMailboxFile, &s);
  if (s.out_of_memory) return 0;
  *matched = start != nullptr && s.started;
  *total = s.started ? s.found : 0;
  if (s.list != nullptr && (!s.started || s.list->count == 0)) s.list = FreeNameList(s.list);
  *names = s.list;
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
  if (mailbox_len + std::strlen(name) + 1 > size) return 0;

  char dir[kReferenceMax + 1];
  std::memcpy(dir, text, cut);
  dir[cut] = '\0';
  bool inside = PlatCompareNoCase(dir, mailbox) == 0;
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
  CopyBounded(out, mailbox, size);
  AppendBounded(out, name, size);
  return 1;
}

CMC_return_code ReadSummary(CMC_message_summary* summary, ResultPool* pool) {
  if (summary == nullptr || pool == nullptr || summary->message_reference == nullptr) return CMC_E_FAILURE;
  const CMC_message_reference* ref = summary->message_reference;
  char path[kReferenceMax + 1];
  const size_t n = BoundedLength(ref->string, ref->length < kReferenceMax ? ref->length : kReferenceMax);
  std::memcpy(path, ref->string, n);
  path[n] = '\0';
  if (HasReadMark(path)) summary->summary_flags |= CMC_SUM_READ;

  WorkBuffer value(kFieldValueSize);
  if (value.bytes == nullptr) return CMC_E_INSUFFICIENT_MEMORY;
  // Reading needs no write access, and other workstations may go on using
  // the file meanwhile.
  BufferedFile* reader = OpenPathBuffered(path, kModeReadShared, kBufferedCapacity);
  if (reader == nullptr) return CMC_E_FAILURE;

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
  CloseBuffered(reader);
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
  if (dir[0] == '\0' || !DirExists(dir)) return 1;

  char first[kPathMax + 8] = "";
  if (start != nullptr && start[0] != '\0') {
    if (std::strlen(start) >= kPathMax) return 1;
    CopyBounded(first, start, kPathMax);
    DropEmptyExtensionDot(first);
  }
  bool matched = false;
  if (!ScanMailbox(dir, first[0] ? first : nullptr, keep, names, total, &matched)) return 0;
  if (first[0] != '\0' && !matched && !HasReadMark(first)) {
    // The seed may name a message that has been read since it was listed.
    std::strcat(first, kReadMarkExt);
    if (!ScanMailbox(dir, first, keep, names, total, &matched)) return 0;
  }
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

  if (count_only) {
    uint32_t total = 0;
    if (!ListMessageFiles(start, 0, nullptr, &total)) return CMC_E_INSUFFICIENT_MEMORY;
    *count = total < maximum ? total : maximum;
    return CMC_SUCCESS;
  }

  const uint32_t capacity = SummaryCapacity();
  const uint32_t keep = maximum < capacity ? maximum : capacity;
  NameList* names = nullptr;
  uint32_t total = 0;
  if (!ListMessageFiles(start, keep, &names, &total)) return CMC_E_INSUFFICIENT_MEMORY;
  if (names == nullptr || names->count == 0) {
    FreeNameList(names);
    return CMC_SUCCESS;
  }

  const uint32_t n = names->count;
  ResultPool pool{};
  const uint64_t reserve = static_cast<uint64_t>(n) * kSummaryReserve;
  PoolInit(&pool, reserve > kPoolMaxData ? kPoolMaxData : static_cast<uint32_t>(reserve));
  if (pool.next == nullptr) {
    FreeNameList(names);
    return CMC_E_INSUFFICIENT_MEMORY;
  }
  auto* array =
      static_cast<CMC_message_summary*>(PoolAllocRecord(&pool, n * static_cast<uint32_t>(sizeof(CMC_message_summary))));
  if (array == nullptr) {
    PoolReleaseBlock(pool.data);
    FreeNameList(names);
    return CMC_E_INSUFFICIENT_MEMORY;
  }

  const bool refs_only = (list_flags & CMC_LIST_MSG_REFS_ONLY) != 0;
  const size_t dir_len = std::strlen(g_mail_config.user_dir);
  uint32_t counted = 0;
  bool full = false;
  for (uint32_t i = 0; i < n && !full; ++i) {
    const char* name = names->slots[i];
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
      if (rc != CMC_SUCCESS) {
        std::memset(summary, 0, sizeof *summary);
        // A full block ends the listing with what fits; a file that cannot
        // be read (being deleted or still empty) is left out.
        if (rc == CMC_E_INSUFFICIENT_MEMORY) full = true;
        continue;
      }
    }
    ++counted;
  }
  FreeNameList(names);

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
