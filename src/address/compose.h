// The compose dialog of a send with a user interface: subject, text and
// the To and Cc recipients of a message copy, the recipients picked in the
// select-users dialog from the address list.
#ifndef VK_ADDRESS_COMPOSE_H
#define VK_ADDRESS_COMPOSE_H

#include "cmc/cmc_types.h"
#include "cmc/pool.h"
#include "dialogs/dialog.h"

namespace vk {

// Shows `copy`'s subject and text (its recipients are not shown: the list
// starts empty) and, after OK, writes the edited subject, text and a new
// recipient array into `copy`, every piece allocated from `pool`: the To
// names (role 0) then the Cc names (role 1), each with a null address and
// name type 0 so that delivery looks it up, the last flagged
// CMC_RECIP_LAST_ELEMENT.  OK stays disabled until a recipient is chosen.
// 0 after OK; CMC_E_USER_CANCEL after Cancel or the close box (the copy
// unchanged); CMC_E_INSUFFICIENT_MEMORY when OK could not store everything
// (the copy partly edited).  An address list that cannot be loaded for To
// or Cc leaves the dialog open.
CMC_return_code ComposeDialog(UiWindow owner, int template_id, ResultPool* pool, CMC_message* copy);

// ComposeDialog on the library's own template, owned by `owner`.
CMC_return_code ComposeForSend(CMC_ui_id owner, ResultPool* pool, CMC_message* copy);

}  // namespace vk

#endif
