// Reading a message file whole into one result block, and marking it read
// by renaming it to carry ".red".
#include "read/read.h"

#include <cstddef>
#include <cstring>

#include "store/namelist.h"
#include "platform/file.h"
#include "platform/memory.h"
#include "read/header.h"
#include "read/list.h"
#include "store/config.h"
#include "store/fileprim.h"

namespace vk {

const char kAttachmentType[] = "? ? ? ? ? ?";

namespace {

// The value buffer of a full read.
constexpr uint32_t kReadValueSize = 1024;
// A recipient's name: at most 31 characters.
constexpr size_t kRecipientNameSize = 32;
// The first commitment of a message's block, one page with the block's
// header; it grows as the message needs.
constexpr uint32_t kMessageReserve = 4096 - kPoolHeaderSize;
// Path buffers here leave room for ".red" after the longest reference.
constexpr size_t kReadPathSize = kReferenceMax + 8;
// The header values a read keeps from its first pass; more are read again.
constexpr size_t kKeptValues = 2048;

// Recipient items may hold blanks; attachment items never do.
const char kRecipientDelimiters[] = ",\r\n";
const char kAttachmentDelimiters[] = ", \r\n";

// The fields whose values a read hands out.
bool HandedOut(int id) {
  return id == kFieldAttachment || id == kFieldAttachmentName || id == kFieldDatePosted || id == kFieldFrom ||
         id == kFieldTo || id == kFieldCopiesTo || id == kFieldSubject || id == kFieldMessageType;
}

// Closes the reader on every way out.
struct ReaderGuard {
  BufferedFile* reader;
  ~ReaderGuard() {
    if (reader != nullptr) CloseBuffered(reader);
  }
};

// Fills recipient records from `*index` on with the items of `value`, each
// with `role`, and stops after the last record.  The items are cut out of
// `value` in place.
CMC_return_code FillRecipients(char* value, CMC_enum role, CMC_recipient* records, uint32_t count, uint32_t* index,
                               ResultPool* pool) {
  char* p = value;
  while (*index < count) {
    p += std::strspn(p, kRecipientDelimiters);
    if (*p == '\0') break;
    const char* item = p;
    char* end = std::strpbrk(p, kRecipientDelimiters);
    p = end != nullptr ? end + 1 : p + std::strlen(p);
    if (end != nullptr) *end = '\0';
    CMC_recipient* r = &records[(*index)++];
    char name[kRecipientNameSize];
    NameFromAddress(item, name, sizeof name);
    r->address = PoolDupString(pool, item);
    r->name = PoolDupString(pool, name);
    r->name_type = CMC_TYPE_INDIVIDUAL;
    r->role = role;
    r->recip_extensions = nullptr;
    if (r->address == nullptr || r->name == nullptr) return CMC_E_INSUFFICIENT_MEMORY;
  }
  return CMC_SUCCESS;
}

// Fills the file names (`names`) or the titles of the attachment records
// with the items of `value`, from record 0 on.  A parcel name is handed out
// only as a path into the user's parcel directory `parcels`, and only when
// it is a plain file name that fits there whole.
CMC_return_code FillAttachments(char* value, bool names, const char* parcels, CMC_attachment* records, uint32_t count,
                                ResultPool* pool) {
  if (value[0] == '\0') return CMC_SUCCESS;
  NameList* items = SplitToNameList(value, kAttachmentDelimiters, kNameModeAppend);
  if (items == nullptr) return CMC_E_FAILURE;
  CMC_return_code rc = CMC_SUCCESS;
  const size_t dir = std::strlen(parcels);
  for (unsigned i = 0; i < items->count && i < count; ++i) {
    const char* item = items->slots[i];
    CMC_attachment* a = &records[i];
    if (!names) {
      a->attach_title = PoolDupString(pool, item);
      if (a->attach_title == nullptr) rc = CMC_E_INSUFFICIENT_MEMORY;
    } else if (dir == 0 || !IsPlainFileName(item) || dir + std::strlen(item) >= kPathMax) {
      a->attach_filename = nullptr;
      a->attach_type = nullptr;
    } else {
      char path[kPathMax];
      CopyBounded(path, parcels, sizeof path);
      AppendBounded(path, item, sizeof path);
      a->attach_filename = PoolDupString(pool, path);
      a->attach_type = const_cast<char*>(kAttachmentType);
      if (a->attach_filename == nullptr) rc = CMC_E_INSUFFICIENT_MEMORY;
    }
    if (rc != CMC_SUCCESS) break;
  }
  FreeNameList(items);
  return rc;
}

// Keeps only the attachment records that name a parcel, in order, the last
// flagged; null when none is left.
CMC_attachment* KeepHandedOut(CMC_attachment* records, uint32_t count) {
  uint32_t kept = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (records[i].attach_filename == nullptr) continue;
    if (kept != i) records[kept] = records[i];
    records[kept].attach_flags = 0;
    ++kept;
  }
  for (uint32_t i = kept; i < count; ++i) std::memset(&records[i], 0, sizeof records[i]);
  if (kept == 0) return nullptr;
  records[kept - 1].attach_flags = CMC_ATT_LAST_ELEMENT;
  return records;
}

// The user's parcel directory as the file system spells it.
void ParcelDirectory(char* out) {
  char built[kPathMax];
  BuildUserPath(built, g_mail_config.user_name, kUserParcelDir);
  if (built[0] == '\0') {
    out[0] = '\0';
    return;
  }
  PlatNativePath(built, out, kPathMax);
  if (std::strlen(out) + 1 >= kPathMax) {
    out[0] = '\0';
    return;
  }
  AddSlash(out);
}

}  // namespace

char* ReadBody(BufferedFile* reader, ResultPool* pool, CMC_return_code* code) {
  if (code != nullptr) *code = CMC_SUCCESS;
  if (reader == nullptr || pool == nullptr) return nullptr;
  // A body that is there but cannot be read is a failed read, never a
  // message handed out without its text.
  CMC_return_code failed = CMC_E_FAILURE;
  if (code == nullptr) code = &failed;
  // A reader that has met the end knows the size without asking the file.
  const uint32_t size = reader->end != kEndUnknown ? reader->end : FileSizeOf(reader->file);
  const uint32_t here = BufferedTell(reader);
  if (size == 0xFFFFFFFFu) *code = CMC_E_FAILURE;
  if (size == 0xFFFFFFFFu || size <= here) return nullptr;
  const uint32_t want = size - here < kBodyMax ? size - here : kBodyMax;
  char* body = static_cast<char*>(PoolAlloc(pool, want + 1));
  if (body == nullptr) {
    if (code != nullptr) *code = CMC_E_INSUFFICIENT_MEMORY;
    return nullptr;
  }
  const uint32_t got = ReadBuffered(reader, body, want);
  if (got != want) {
    *code = CMC_E_FAILURE;
    return nullptr;
  }
  body[got] = '\0';
  return body;
}

CMC_return_code ReadMessageFile(CMC_message* message, ResultPool* pool) {
  WorkBuffer value(kReadValueSize);
  if (message == nullptr || pool == nullptr) return value.bytes ? CMC_E_FAILURE : CMC_E_INSUFFICIENT_MEMORY;
  if (value.bytes == nullptr) return CMC_E_INSUFFICIENT_MEMORY;

  // The path names the file as it is now: the read twin when the message
  // has been read since the reference was made.
  char path[kReadPathSize];
  ReaderGuard guard{TakeListedMessage(message->message_reference, path)};
  if (guard.reader == nullptr) {
    if (!MessagePathFromReference(message->message_reference, path, kReadPathSize)) {
      return CMC_E_INVALID_MESSAGE_REFERENCE;
    }
    guard.reader = OpenPathBuffered(path, kModeReadShared, kBufferedCapacity);
  }
  BufferedFile* reader = guard.reader;
  if (reader == nullptr) return CMC_E_INVALID_MESSAGE_REFERENCE;
  if (HasReadMark(path)) message->message_flags |= CMC_MSG_READ;

  // One pass over the header counts the records the lists need and keeps
  // the values of the fields a message hands out; only a header whose
  // values do not fit in `kept` is read a second time.
  uint32_t to = 0;
  uint32_t cc = 0;
  uint32_t attachments = 0;
  char kept[kKeptValues];
  size_t kept_used = 0;
  bool kept_all = true;
  for (;;) {
    int id = kFieldUnknown;
    if (ReadHeaderField(reader, &id, value.bytes, kReadValueSize) != CMC_SUCCESS) return CMC_E_FAILURE;
    if (id == kFieldEnd) break;
    if (id == kFieldTo) to = CountListItems(value.bytes);
    if (id == kFieldCopiesTo) cc = CountListItems(value.bytes);
    if (id == kFieldAttachment) attachments = CountListItems(value.bytes);
    if (!kept_all || !HandedOut(id)) continue;
    const size_t n = std::strlen(value.bytes) + 1;
    kept_all = kept_used + 1 + n <= sizeof kept;
    if (!kept_all) continue;
    kept[kept_used] = static_cast<char>(id);
    std::memcpy(kept + kept_used + 1, value.bytes, n);
    kept_used += 1 + n;
  }

  const uint64_t recipient_count = static_cast<uint64_t>(to) + cc + 1;
  if (recipient_count * sizeof(CMC_recipient) > kPoolMaxData ||
      static_cast<uint64_t>(attachments) * sizeof(CMC_attachment) > kPoolMaxData) {
    return CMC_E_INSUFFICIENT_MEMORY;
  }
  const uint32_t records = static_cast<uint32_t>(recipient_count);
  auto* recipients =
      static_cast<CMC_recipient*>(PoolAllocRecord(pool, records * static_cast<uint32_t>(sizeof(CMC_recipient))));
  if (recipients == nullptr) return CMC_E_INSUFFICIENT_MEMORY;
  recipients[records - 1].recip_flags = CMC_RECIP_LAST_ELEMENT;
  message->recipients = recipients;
  CMC_attachment* attached = nullptr;
  if (attachments > 0) {
    attached = static_cast<CMC_attachment*>(
        PoolAllocRecord(pool, attachments * static_cast<uint32_t>(sizeof(CMC_attachment))));
    if (attached == nullptr) return CMC_E_INSUFFICIENT_MEMORY;
    attached[attachments - 1].attach_flags = CMC_ATT_LAST_ELEMENT;
  }
  char parcels[kPathMax] = "";
  if (attachments > 0) ParcelDirectory(parcels);

  uint32_t next = 0;
  auto fill = [&](int id, char* text) -> CMC_return_code {
    switch (id) {
      case kFieldAttachment:
      case kFieldAttachmentName:
        // Titles or names without a parcel count have nothing to go with;
        // the message is still read.
        return attached != nullptr ? FillAttachments(text, id == kFieldAttachment, parcels, attached, attachments, pool)
                                   : CMC_SUCCESS;
      case kFieldDatePosted:
        // A date that does not parse keeps the pieces that did.
        ParseDatePosted(text, &message->time_sent);
        return CMC_SUCCESS;
      case kFieldFrom:
        return FillRecipients(text, CMC_ROLE_ORIGINATOR, recipients, records, &next, pool);
      case kFieldTo:
        return FillRecipients(text, CMC_ROLE_TO, recipients, records, &next, pool);
      case kFieldCopiesTo:
        return FillRecipients(text, CMC_ROLE_CC, recipients, records, &next, pool);
      case kFieldSubject:
      case kFieldMessageType: {
        char* copy = PoolDupString(pool, text);
        if (copy == nullptr) return CMC_E_INSUFFICIENT_MEMORY;
        (id == kFieldSubject ? message->subject : message->message_type) = copy;
        return CMC_SUCCESS;
      }
      default:
        return CMC_SUCCESS;
    }
  };
  CMC_return_code rc = CMC_SUCCESS;
  if (kept_all) {
    for (size_t at = 0; at < kept_used && rc == CMC_SUCCESS;) {
      char* text = kept + at + 1;
      const size_t n = std::strlen(text) + 1;
      rc = fill(kept[at], text);
      at += 1 + n;
    }
  } else {
    if (SeekBuffered(reader, 0) != 0) return CMC_E_INVALID_MESSAGE_REFERENCE;
    for (;;) {
      int id = kFieldUnknown;
      rc = ReadHeaderField(reader, &id, value.bytes, kReadValueSize);
      if (rc != CMC_SUCCESS || id == kFieldEnd) break;
      rc = fill(id, value.bytes);
      if (rc != CMC_SUCCESS) break;
    }
  }
  if (rc != CMC_SUCCESS) return rc;
  if (attached != nullptr) message->attachments = KeepHandedOut(attached, attachments);

  CMC_return_code body_rc = CMC_SUCCESS;
  message->text_note = ReadBody(reader, pool, &body_rc);
  return body_rc;
}

CMC_return_code ReadMessage(CMC_message_reference* message_reference, CMC_message** message) {
  if (message == nullptr) return CMC_E_INVALID_PARAMETER;
  *message = nullptr;
  if (message_reference == nullptr) return CMC_E_INVALID_MESSAGE_REFERENCE;
  // The block grows as the message needs it: opening the file once more
  // only to learn its size would cost more than the growing does.
  ResultPool pool{};
  PoolInit(&pool, kMessageReserve);
  if (pool.next == nullptr) return CMC_E_INSUFFICIENT_MEMORY;

  CMC_return_code rc = CMC_E_INSUFFICIENT_MEMORY;
  auto* record = static_cast<CMC_message*>(PoolAllocRecord(&pool, sizeof(CMC_message)));
  // The copy keeps the caller's own spelling of the reference (checked
  // above to be at most kReferenceMax characters).
  size_t text = 0;
  while (text < kReferenceMax && text < message_reference->length && message_reference->string[text] != '\0') ++text;
  CMC_message_reference* copy = nullptr;
  if (record != nullptr) {
    copy = static_cast<CMC_message_reference*>(
        PoolAllocRecord(&pool, static_cast<uint32_t>(offsetof(CMC_message_reference, string) + text + 1)));
  }
  if (copy != nullptr) {
    copy->length = static_cast<CMC_uint32>(text);
    std::memcpy(copy->string, message_reference->string, text);
    copy->string[text] = '\0';
    record->message_reference = copy;
    rc = ReadMessageFile(record, &pool);
    record->message_flags |= CMC_MSG_LAST_ELEMENT;
  }
  if (rc != CMC_SUCCESS) {
    // Nothing is handed out, so nothing may stay allocated.
    PoolReleaseBlock(pool.data);
    return rc;
  }
  *message = record;
  return CMC_SUCCESS;
}

CMC_return_code MarkRead(CMC_message_reference* message_reference) {
  if (message_reference == nullptr) return CMC_SUCCESS;
  size_t n = 0;
  while (n <= kReferenceMax && n < message_reference->length && message_reference->string[n] != '\0') ++n;
  if (n > kReferenceMax) return CMC_E_FAILURE;
  char from[kReadPathSize];
  if (!MessagePathFromReference(message_reference, from, sizeof from)) return CMC_E_INVALID_MESSAGE_REFERENCE;
  if (HasReadMark(from)) return CMC_SUCCESS;

  size_t len = std::strlen(from);
  size_t name = len;
  while (name > 0 && from[name - 1] != kPathSep) --name;
  const char* dot = std::strrchr(from + name, '.');
  // A name with an extension of its own is not one a delivery makes.
  if (dot != nullptr && dot[1] != '\0') return CMC_SUCCESS;

  char to[kReadPathSize];
  CopyBounded(to, from, sizeof to);
  if (dot != nullptr) to[len - 1] = '\0';  // the empty extension's dot
  AppendBounded(to, kReadMarkExt, sizeof to);
  // Never over another file: when the ".red" name is taken the message
  // stays unread and both files stay as they are.
  if (PlatRenameNoReplace(from, to) || PlatLastError() == PlatError::kExists) return CMC_SUCCESS;
  // Marked meanwhile by another workstation reading the same reference.
  if (PlatGetAttributes(from) == kAttrInvalid && PlatGetAttributes(to) != kAttrInvalid) return CMC_SUCCESS;
  // The mark could not be set: a success would tell the host the message
  // is read while every listing still shows it unread.
  return CMC_E_FAILURE;
}

}  // namespace vk
