// Deleting a message of the user's mailbox together with its parcels.
#include "store/namelist.h"
#include "cmc/handlers.h"
#include "read/header.h"
#include "read/list.h"
#include "send/parcel.h"
#include "store/config.h"
#include "store/fileprim.h"

namespace vk {

CMC_return_code DeleteMessage(CMC_message_reference* message_reference) {
  if (!message_reference) return CMC_E_INVALID_MESSAGE_REFERENCE;
  // A reference is a path the host hands back to us: only a message file
  // directly inside the user's own mailbox may be touched, the same rule
  // cmc_read applies.  The buffer leaves room for the read mark that
  // OpenMessageFile may append.
  char path[kReferenceMax + 1 + 8];
  // The name found may be the read twin, longer than the reference itself.
  if (!MessagePathFromReference(message_reference, path, sizeof path - 4)) return CMC_E_INVALID_MESSAGE_REFERENCE;

  FileHandle h = OpenMessageFile(path, kModeReadShared);
  if (h == kNoFile) return CMC_E_INVALID_MESSAGE_REFERENCE;
  NameList* parcels = ParcelNames(h);
  CloseFile(h);

  ForgetListedMessage(path);
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
