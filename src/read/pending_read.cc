// Stand-ins until listing and reading exist: each answers that the call is
// not supported.  Delete a stand-in when its real definition arrives.
#include "cmc/handlers.h"

namespace vk {

CMC_return_code ListMessages(CMC_flags, CMC_message_reference*, CMC_uint32, CMC_uint32*, CMC_message_summary**) {
  return CMC_E_NOT_SUPPORTED;
}

CMC_return_code ReadMessage(CMC_message_reference*, CMC_message**) { return CMC_E_NOT_SUPPORTED; }

CMC_return_code MarkRead(CMC_message_reference*) { return CMC_E_NOT_SUPPORTED; }

}  // namespace vk
