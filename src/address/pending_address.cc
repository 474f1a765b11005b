// Stand-ins for the look-up modes that run the select-users dialog, until
// that dialog exists: each answers as a cancelled addressing dialog would.
// Replace both with the dialog's own definitions.
#include "address/lookup.h"
#include "cmc/handlers.h"

namespace vk {

CMC_return_code PickFromMatches(CMC_recipient*, CMC_flags, CMC_ui_id, CMC_uint32*, CMC_recipient**) {
  return CMC_E_USER_CANCEL;
}

CMC_return_code AddressingDialog(CMC_recipient*, CMC_ui_id, CMC_uint32*, CMC_recipient**) { return CMC_E_USER_CANCEL; }

}  // namespace vk
