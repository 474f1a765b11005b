// Sending: staging the message, delivering a copy to each recipient, and
// cleaning up after the send.
#include "send/deliver.h"

#include <cstdio>
#include <cstring>

#include "store/namelist.h"
#include "cmc/handlers.h"
#include "cmc/session.h"
#include "address/compose.h"
#include "platform/clock.h"
#include "read/header.h"
#include "send/parcel.h"
#include "send/smf_writer.h"
#include "store/config.h"
#include "store/fileprim.h"
#include "users/registry.h"
#include "vkmsg/cmc.h"

namespace vk {

namespace {

ComposeDialogFn g_compose = ComposeForSend;

// Copies an attachment into a parcel and records the parcel in the journal
// (a NameList**), so that a failed send can remove it even when the staged
// file never named it.
CMC_return_code RecordingParcelCopy(void* context, const char* sourcePath, char* nameOut, size_t nameSize) {
  NameList** journal = static_cast<NameList**>(context);
  const CMC_return_code rc = CopyToParcel(sourcePath, nameOut, nameSize);
  if (!nameOut || !*nameOut) return rc;
  const unsigned before = (*journal)->count;
  *journal = AddName(*journal, nameOut, kNameModeAppend);
  if ((*journal)->count != before) return rc;
  // A parcel nobody could find again: remove it now and stop the send.
  char path[kPathMax];
  BuildMailPath(path, kParcelDir);
  if (*path && IsPlainFileName(nameOut) && std::strlen(path) + std::strlen(nameOut) < kPathMax) {
    AppendBounded(path, nameOut, kPathMax);
    DeleteFileRetry(path);
  }
  return CMC_E_INSUFFICIENT_MEMORY;
}

// True when the copy's "Attachment" value, as a reader joins it, is the
// names of `names` joined by ", ": a rewrite that went wrong without saying
// so must not reach the mailbox.
bool AttachmentFieldIs(FileHandle h, const NameList* names) {
  GlobalHandle block = GetHeaderFieldValue(h, HeaderNames[kFieldAttachment]);
  if (!block) return false;
  const char* value = static_cast<const char*>(PlatGlobalLock(block));
  bool same = value != nullptr;
  for (unsigned i = 0; same && i < names->count; ++i) {
    if (i > 0) {
      same = std::strncmp(value, ", ", 2) == 0;
      if (same) value += 2;
    }
    const size_t n = std::strlen(names->slots[i]);
    same = same && std::strncmp(value, names->slots[i], n) == 0;
    if (same) value += n;
  }
  same = same && *value == '\0';
  PlatGlobalUnlock(block);
  PlatGlobalFree(block);
  return same;
}

// A copy made for one recipient but not yet visible: the message file in
// its claim and the recipient's parcel copies, all written and closed, their
// writing to the storage begun.
struct PendingDelivery {
  char tempPath[kPathMax];
  char parcelDir[kPathMax];
  NameList* newNames;  // the recipient's parcel names
};

// Makes the recipient's copy up to the point where it must be flushed and
// published: the parcels (the staged "Attachment" names; null or empty for
// none) are copied into the recipient's IPARCEL, the message into a claimed
// name in its mailbox, and the copy's "Attachment" field is replaced by the
// recipient's own names.  0; 23 when the address names no user directory;
// the codes of CopyParcels; CMC_E_INSUFFICIENT_MEMORY; CMC_E_FAILURE when
// the copy cannot be made, rewritten or closed.  On failure nothing of it
// stays behind.
CMC_return_code PrepareDelivery(FileHandle staged, const CMC_recipient* recipient, const NameList* parcels,
                                PendingDelivery* out) {
  out->tempPath[0] = '\0';
  out->newNames = nullptr;
  char mailbox[kPathMax];
  CMC_return_code rc = RecipientDirs(recipient, mailbox, out->parcelDir);
  if (rc != CMC_SUCCESS) return rc;
  if (!DirExists(mailbox)) return CMC_E_RECIPIENT_NOT_FOUND;
  // The recipient's parcel directory below the mail directory, for removing
  // parcel copies of a failed delivery.
  const char* parcelRel = out->parcelDir + std::strlen(g_mail_config.mail_dir);

  NameList* newNames = nullptr;
  GlobalHandle lineBlock = nullptr;
  char* line = nullptr;
  char* tempPath = out->tempPath;
  FileHandle temp = kNoFile;

  if (parcels && parcels->count > 0) {
    newNames = CreateNameList(parcels->count + 1u, 32u * (parcels->count + 1u));
    if (!newNames) return CMC_E_INSUFFICIENT_MEMORY;
    rc = CopyParcels(parcels, &newNames, out->parcelDir);
    if (rc == CMC_SUCCESS) {
      lineBlock = AttachmentLine(newNames);
      line = lineBlock ? static_cast<char*>(PlatGlobalLock(lineBlock)) : nullptr;
      if (!line) rc = CMC_E_INSUFFICIENT_MEMORY;
    }
  }
  if (rc == CMC_SUCCESS) {
    temp = ClaimMessageName(mailbox, tempPath, kPathMax);
    if (temp == kNoFile) {
      tempPath[0] = '\0';
      rc = CMC_E_FAILURE;
    }
  }
  if (rc == CMC_SUCCESS && CopyFileContents(staged, temp) <= 0) rc = CMC_E_FAILURE;
  if (rc == CMC_SUCCESS && line) {
    rc = ReplaceHeaderField(temp, HeaderNames[kFieldAttachment], line);
    if (rc == CMC_SUCCESS && !AttachmentFieldIs(temp, newNames)) rc = CMC_E_FAILURE;
  }
  if (temp != kNoFile) {
    if (rc == CMC_SUCCESS) PlatStartFlush(temp);
    if (CloseFile(temp) != 0 && rc == CMC_SUCCESS) rc = CMC_E_FAILURE;
  }
  if (lineBlock) {
    if (line) PlatGlobalUnlock(lineBlock);
    PlatGlobalFree(lineBlock);
  }
  if (rc != CMC_SUCCESS) {
    if (tempPath[0]) ReleaseMessageClaim(tempPath);
    DeleteParcels(newNames, parcelRel);
    FreeNameList(newNames);
    return rc;
  }
  out->newNames = newNames;
  return CMC_SUCCESS;
}

// Forces a written file to the storage; false when it cannot be opened or
// flushed.
bool FlushByPath(const char* path) {
  const FileHandle h = OpenFileMode(path, kOpenReadWrite | kOpenShareDenyNone);
  if (h == kNoFile) return false;
  const bool flushed = FlushFile(h) != 0;
  return CloseFile(h) == 0 && flushed;
}

// Flushes the parcel copies and the message of a prepared copy; false when
// one of them cannot be flushed.
bool FlushDelivery(const PendingDelivery* p) {
  for (unsigned i = 0; p->newNames && i < p->newNames->count; ++i) {
    char path[kPathMax];
    if (!JoinPath(path, p->parcelDir, p->newNames->slots[i]) || !FlushByPath(path)) return false;
  }
  return FlushByPath(p->tempPath);
}

// With `publish`, gives the flushed message of a prepared copy its name;
// without, or when that fails, removes the copy.  Either way the record is
// spent.
CMC_return_code EndDelivery(PendingDelivery* p, bool publish) {
  const bool done = publish && PublishClaim(p->tempPath);
  if (!done) {
    ReleaseMessageClaim(p->tempPath);
    DeleteParcels(p->newNames, p->parcelDir + std::strlen(g_mail_config.mail_dir));
  }
  FreeNameList(p->newNames);
  p->newNames = nullptr;
  return done ? CMC_SUCCESS : CMC_E_FAILURE;
}

// Copies for several recipients are made first and flushed afterwards, a
// few dozen at a time: each file is still flushed before its message
// appears, but the storage writes them all in one stream, and a file system
// with a journal records them in a few commits instead of one or two per
// recipient.  The files stay closed meanwhile, so a large batch holds no
// handles.
class DeliveryBatch {
 public:
  // Copies never finished are removed.
  ~DeliveryBatch() {
    for (int i = 0; i < count_; ++i) EndDelivery(&pending_[i], false);
  }
  CMC_return_code Add(FileHandle staged, const CMC_recipient* recipient, const NameList* parcels) {
    CMC_return_code rc = PrepareDelivery(staged, recipient, parcels, &pending_[count_]);
    if (rc != CMC_SUCCESS) return rc;
    if (++count_ == kSize) rc = Finish();
    return rc;
  }
  // Delivers the copies prepared, in order: every file is flushed before any
  // message appears, so that the flushes follow one another with no other
  // change to record between them.  The first failure removes its copy and
  // every later one, and is the result.
  CMC_return_code Finish() {
    int flushed = 0;
    while (flushed < count_ && FlushDelivery(&pending_[flushed])) ++flushed;
    CMC_return_code rc = flushed < count_ ? CMC_E_FAILURE : CMC_SUCCESS;
    bool ok = true;
    for (int i = 0; i < count_; ++i) {
      ok = ok && i < flushed;
      if (EndDelivery(&pending_[i], ok) != CMC_SUCCESS) ok = false;
      if (!ok) rc = CMC_E_FAILURE;
    }
    count_ = 0;
    return rc;
  }

 private:
  static constexpr int kSize = 32;
  PendingDelivery pending_[kSize];
  int count_ = 0;
};

CMC_return_code DeliverAll(const char* stagedPath, CMC_recipient* recipients, CMC_ui_id ui_id, const NameList* parcels,
                           bool* cleanedUp) {
  *cleanedUp = false;
  if (!stagedPath || !recipients) return CMC_E_FAILURE;
  char path[kPathMax];
  CopyBounded(path, stagedPath, kPathMax);
  FileHandle staged = OpenFileMode(path, kModeReadExclusive);
  if (staged == kNoFile) return CMC_E_FAILURE;
  NameList* read = nullptr;
  if (!parcels) {
    read = ParcelNames(staged);
    parcels = read;
  }

  DeliveryBatch batch;
  CMC_return_code rc = CMC_SUCCESS;
  for (CMC_recipient* r = recipients;; ++r) {
    if (r->address) {
      rc = batch.Add(staged, r, parcels);
    } else {
      CMC_uint32 count = 0;
      CMC_recipient* found = nullptr;
      rc = cmc_look_up(CurrentSessionId(), r, 0, ui_id, &count, &found, nullptr);
      for (CMC_uint32 i = 0; rc == CMC_SUCCESS && i < count; ++i) rc = batch.Add(staged, &found[i], parcels);
      if (found) cmc_free(found);
    }
    if (rc != CMC_SUCCESS || (r->recip_flags & CMC_RECIP_LAST_ELEMENT)) break;
  }
  // The copies made before a failure are delivered, as they would have been
  // one by one.
  const CMC_return_code finished = batch.Finish();
  if (rc == CMC_SUCCESS) rc = finished;
  CloseFile(staged);

  if (rc == CMC_SUCCESS) {
    rc = DeleteParcels(parcels, kParcelDir);
    DeleteFileRetry(path);
    *cleanedUp = true;
  }
  FreeNameList(read);
  return rc;
}

// Writes and delivers `message` (recipients present).
CMC_return_code StageAndDeliver(const CMC_message* message, CMC_ui_id ui_id) {
  char snd[kPathMax];
  BuildMailPath(snd, kSndDir);
  if (!*snd) return CMC_E_FAILURE;
  char staged[kPathMax];
  FileHandle h = UniqueFileDefault(snd, staged, sizeof staged);
  if (h == kNoFile) return CMC_E_FAILURE;

  NameList* journal = CreateNameList(8, 128);
  if (!journal) {
    CloseFile(h);
    DeleteFileRetry(staged);
    return CMC_E_INSUFFICIENT_MEMORY;
  }
  CMC_return_code rc = WriteMessage(h, message, RecordingParcelCopy, &journal);

  if (CloseFile(h) != 0 && rc == CMC_SUCCESS) rc = CMC_E_FAILURE;
  bool cleanedUp = false;
  if (rc == CMC_SUCCESS) rc = DeliverAll(staged, message->recipients, ui_id, journal, &cleanedUp);
  if (!cleanedUp) {
    DeleteParcels(journal, kParcelDir);
    DeleteFileRetry(staged);
  }
  FreeNameList(journal);
  return rc;
}

CMC_return_code DupInPool(ResultPool* pool, char** s) {
  if (!*s) return CMC_SUCCESS;
  *s = PoolDupString(pool, *s);
  return *s ? CMC_SUCCESS : CMC_E_INSUFFICIENT_MEMORY;
}

}  // namespace

ComposeDialogFn SetComposeDialog(ComposeDialogFn dialog) {
  ComposeDialogFn before = g_compose;
  g_compose = dialog ? dialog : ComposeForSend;
  return before;
}

CMC_return_code RecipientDirs(const CMC_recipient* recipient, char* mailboxDir, char* parcelDir) {
  if (mailboxDir) mailboxDir[0] = '\0';
  if (parcelDir) parcelDir[0] = '\0';
  if (!mailboxDir || !parcelDir) return CMC_E_FAILURE;
  if (!recipient || !recipient->address) return CMC_E_RECIPIENT_NOT_FOUND;
  // One character more than a user name may have, to tell a long user part
  // from one that fits.
  char user[kRecipientUserMax + 2];
  NameFromAddress(recipient->address, user, sizeof user);
  if (std::strlen(user) > kRecipientUserMax || !IsSafeUserName(user)) return CMC_E_RECIPIENT_NOT_FOUND;
  if (!g_mail_config.mail_dir[0]) return CMC_E_FAILURE;
  const size_t longest = std::strlen(kUserParcelDir) > std::strlen(kUserMailboxDir) ? std::strlen(kUserParcelDir)
                                                                                    : std::strlen(kUserMailboxDir);
  if (std::strlen(g_mail_config.mail_dir) + std::strlen(kUsersDir) + std::strlen(user) + 1 + longest + kClaimPathRoom >
      kPathMax)
    return CMC_E_FAILURE;
  BuildUserPath(mailboxDir, user, kUserMailboxDir);
  BuildUserPath(parcelDir, user, kUserParcelDir);
  return CMC_SUCCESS;
}

CMC_return_code DeliverMessage(const char* stagedPath, CMC_recipient* recipients, CMC_ui_id ui_id,
                               const NameList* parcels) {
  bool cleanedUp = false;
  return DeliverAll(stagedPath, recipients, ui_id, parcels, &cleanedUp);
}

CMC_return_code CopyMessageForUi(const CMC_message* message, ResultPool* pool, CMC_message** copy) {
  if (copy) *copy = nullptr;
  if (!message || !pool || !copy) return CMC_E_INVALID_PARAMETER;
  CMC_message* c = static_cast<CMC_message*>(PoolDupRecord(pool, message, sizeof *message));
  if (!c) return CMC_E_INSUFFICIENT_MEMORY;
  if (DupInPool(pool, &c->subject) != CMC_SUCCESS || DupInPool(pool, &c->text_note) != CMC_SUCCESS)
    return CMC_E_INSUFFICIENT_MEMORY;
  if (message->recipients) {
    uint32_t n = 1;
    while ((message->recipients[n - 1].recip_flags & CMC_RECIP_LAST_ELEMENT) == 0) ++n;
    c->recipients = static_cast<CMC_recipient*>(PoolDupRecord(pool, message->recipients, n * sizeof(CMC_recipient)));
    if (!c->recipients) return CMC_E_INSUFFICIENT_MEMORY;
    for (uint32_t i = 0; i < n; ++i) {
      if (DupInPool(pool, &c->recipients[i].name) != CMC_SUCCESS ||
          DupInPool(pool, &c->recipients[i].address) != CMC_SUCCESS)
        return CMC_E_INSUFFICIENT_MEMORY;
    }
  }
  if (message->attachments) {
    uint32_t n = 1;
    while ((message->attachments[n - 1].attach_flags & CMC_ATT_LAST_ELEMENT) == 0) ++n;
    c->attachments =
        static_cast<CMC_attachment*>(PoolDupRecord(pool, message->attachments, n * sizeof(CMC_attachment)));
    if (!c->attachments) return CMC_E_INSUFFICIENT_MEMORY;
    for (uint32_t i = 0; i < n; ++i) {
      if (DupInPool(pool, &c->attachments[i].attach_title) != CMC_SUCCESS ||
          DupInPool(pool, &c->attachments[i].attach_type) != CMC_SUCCESS ||
          DupInPool(pool, &c->attachments[i].attach_filename) != CMC_SUCCESS)
        return CMC_E_INSUFFICIENT_MEMORY;
    }
  }
  *copy = c;
  return CMC_SUCCESS;
}

CMC_return_code SendMessage(CMC_session_id session, CMC_message* message, CMC_flags send_flags, CMC_ui_id ui_id) {
  (void)session;
  if (!message) return CMC_E_INVALID_PARAMETER;
  if ((send_flags & CMC_SEND_UI_REQUESTED) == 0) {
    if (!message->recipients) return CMC_E_INVALID_MESSAGE_PARAMETER;
    return StageAndDeliver(message, ui_id);
  }

  ResultPool pool{};
  PoolInit(&pool, 32000);
  if (!pool.next) return CMC_E_INSUFFICIENT_MEMORY;
  CMC_message* copy = nullptr;
  CMC_return_code rc = CopyMessageForUi(message, &pool, &copy);
  if (rc == CMC_SUCCESS) rc = g_compose(ui_id, &pool, copy);
  if (rc == CMC_SUCCESS) rc = copy->recipients ? StageAndDeliver(copy, ui_id) : CMC_E_INVALID_MESSAGE_PARAMETER;
  PoolReleaseBlock(pool.data);
  return rc;
}

}  // namespace vk
