// Sending a message: the message is written once as a staged file in the
// mail directory's SND directory (its attachments copied into PARCEL on the
// way), then each recipient gets a copy in USERS/<name>/MHS with its own
// parcel copies in USERS/<name>/IPARCEL, and finally the staged file and
// the PARCEL files are removed.
//
// A reader never sees a half-written copy: each copy is written, rewritten,
// flushed and closed inside the claim directory of its message name
// ("KWZxxxx.tmp", ClaimMessageName), which no listing looks into, and only
// then renamed to that name.  A send that fails
// removes what it made in SND and PARCEL, the failing recipient's parcel
// copies and its temporary copy; copies already delivered to earlier
// recipients stay delivered.
#ifndef VK_SEND_DELIVER_H
#define VK_SEND_DELIVER_H

#include <cstddef>

#include "cmc/cmc_types.h"
#include "cmc/pool.h"
#include "platform/file.h"
#include "vkmsg/vkmsg.h"

namespace vk {

// The most characters of an address's user part that can name a user.
constexpr size_t kRecipientUserMax = 31;

// The mailbox and parcel directories (full paths with trailing separators,
// kPathMax buffers each) of the recipient's `address`: the part before the
// first "@" names the user.  0; CMC_E_RECIPIENT_NOT_FOUND (23) when the
// recipient has no address or its user part is empty, longer than 31
// characters or no safe user name (IsSafeUserName); CMC_E_FAILURE when no
// mail directory is configured or a path would not fit.
CMC_return_code RecipientDirs(const CMC_recipient* recipient, char* mailboxDir, char* parcelDir);

// Delivers the staged file `stagedPath` to every recipient of `recipients`
// (up to the one flagged CMC_RECIP_LAST_ELEMENT), in order; a recipient
// without an address is resolved with cmc_look_up (flags 0, so no dialog)
// and every recipient the look-up yields gets a copy.  `parcels` are the
// staged file's parcel names; null reads them from the staged file.  The
// first failure ends the loop with its code (copies already delivered
// stay).  On success the parcels in PARCEL and the staged file are deleted
// and the result is 0, or CMC_E_ATTACHMENT_NOT_FOUND (2) when a parcel
// could not be deleted.  On failure the staged file and the parcels are
// left for the caller.  CMC_E_FAILURE when the staged file cannot be opened.
CMC_return_code DeliverMessage(const char* stagedPath, CMC_recipient* recipients, CMC_ui_id ui_id,
                               const NameList* parcels);

// A deep copy of `message` in `pool` (made ready by the caller, PoolInit):
// the record, subject, text note, the recipient array with each name and
// address, the attachment array with each title, type and file name.  The
// message type, the reference and every extension array are not copied (the
// copy points at the caller's).  0, or CMC_E_INSUFFICIENT_MEMORY when the
// pool cannot hold it (*copy is null then).
CMC_return_code CopyMessageForUi(const CMC_message* message, ResultPool* pool, CMC_message** copy);

// The compose dialog as the send runs it: owner window, the pool holding
// the copy, the copy (which it may change).  0 to send, CMC_E_USER_CANCEL
// or CMC_E_INSUFFICIENT_MEMORY to stop.
using ComposeDialogFn = CMC_return_code (*)(CMC_ui_id owner, ResultPool* pool, CMC_message* copy);
// Installs the compose dialog (null restores the default, the library's own
// compose dialog); returns the one before.
ComposeDialogFn SetComposeDialog(ComposeDialogFn dialog);

// SendMessage is declared in cmc/handlers.h.

}  // namespace vk

#endif
