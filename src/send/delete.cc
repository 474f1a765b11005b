// Deleting a message of the user's mailbox together with its parcels.
#include <cstring>

#include "address/namelist.h"
#include "cmc/handlers.h"
#include "platform/text.h"
#include "read/header.h"
#include "send/parcel.h"
#include "store/config.h"
#include "store/fileprim.h"

namespace vk {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// True when `path` names a plain file directly inside the logged-on user's
// mailbox directory.  A reference is a path the host hands back to us, so
// it must not reach any other directory: no "." or ".." component, and the
// directory part, spelled as the file system stores it, is the mailbox.
bool InUserMailbox(const char* path) {
  if (!g_mail_config.user_dir[0]) return false;
  const char* name = nullptr;
  for (const char* p = path; *p; ++p) {
    if (IsSeparator(*p)) name = p + 1;
  }
  if (!name || !IsPlainFileName(name)) return false;

  char dir[kPathMax];
  const size_t dirLen = static_cast<size_t>(name - path);
  if (dirLen >= kPathMax) return false;
  std::memcpy(dir, path, dirLen);
  dir[dirLen] = '\0';
  const char* component = dir;
  for (const char* p = dir;; ++p) {
    if (*p == '\0' || IsSeparator(*p)) {
      const size_t n = static_cast<size_t>(p - component);
      if ((n == 1 && component[0] == '.') || (n == 2 && component[0] == '.' && component[1] == '.')) return false;
      if (*p == '\0') break;
      component = p + 1;
    }
  }

  char mailbox[kPathMax];
  CopyBounded(mailbox, g_mail_config.user_dir, kPathMax);
  if (!CanonicalDir(dir) || !CanonicalDir(mailbox)) return false;
  return PlatCompareNoCase(dir, mailbox) == 0;
}

}  // namespace

CMC_return_code DeleteMessage(CMC_message_reference* message_reference) {
  if (!message_reference) return CMC_E_INVALID_MESSAGE_REFERENCE;
  // The path is the zero-terminated text after the length word; a length
  // shorter than that text ends it earlier.  A path too long for the
  // library's buffers names no message of ours (cutting it could name
  // another file).
  const size_t limit =
      message_reference->length > 0 && message_reference->length < kPathMax ? message_reference->length : kPathMax;
  size_t n = 0;
  while (n < limit && message_reference->string[n] != '\0') ++n;
  if (n == limit && limit == kPathMax) return CMC_E_INVALID_MESSAGE_REFERENCE;
  if (n == 0) return CMC_E_INVALID_MESSAGE_REFERENCE;
  // Room for the read mark that OpenMessageFile may append.
  char path[kPathMax + 8];
  std::memcpy(path, message_reference->string, n);
  path[n] = '\0';
  if (!InUserMailbox(path)) return CMC_E_INVALID_MESSAGE_REFERENCE;

  FileHandle h = OpenMessageFile(path, kModeReadShared);
  if (h == kNoFile) return CMC_E_INVALID_MESSAGE_REFERENCE;
  NameList* parcels = ParcelNames(h);
  CloseFile(h);

  // The message goes first: a message that stays must keep its parcels.
  if (!DeleteFileRetry(path)) {
    FreeNameList(parcels);
    return CMC_E_INVALID_MESSAGE_REFERENCE;
  }
  char parcelRel[kPathMax];
  CopyBounded(parcelRel, kUsersDir, kPathMax);
  AppendBounded(parcelRel, g_mail_config.user_name, kPathMax);
  AppendBounded(parcelRel, VK_SEP, kPathMax);
  AppendBounded(parcelRel, kUserParcelDir, kPathMax);
  if (g_mail_config.user_name[0]) DeleteParcels(parcels, parcelRel);
  FreeNameList(parcels);
  return CMC_SUCCESS;
}

}  // namespace vk
