// Stand-ins until look-up and document sending exist: each answers that the
// call is not supported.  Delete a stand-in when its real definition arrives.
#include "cmc/handlers.h"

namespace vk {

CMC_return_code SendDocuments(CMC_string, CMC_string, CMC_string, CMC_flags, CMC_string, CMC_string, CMC_string,
                              CMC_ui_id) {
  return CMC_E_NOT_SUPPORTED;
}

CMC_return_code ResolveIdentity(CMC_uint32*, CMC_recipient**) { return CMC_E_NOT_SUPPORTED; }

CMC_return_code ResolveRecipient(CMC_recipient*, CMC_flags, CMC_ui_id, CMC_uint32*, CMC_recipient**) {
  return CMC_E_NOT_SUPPORTED;
}

CMC_return_code AddressingDialog(CMC_recipient*, CMC_ui_id, CMC_uint32*, CMC_recipient**) {
  return CMC_E_NOT_SUPPORTED;
}

}  // namespace vk
