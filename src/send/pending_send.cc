// Stand-ins until sending and deleting exist: each answers that the call is
// not supported.  Delete a stand-in when its real definition arrives.
#include "cmc/handlers.h"

namespace vk {

CMC_return_code SendMessage(CMC_session_id, CMC_message*, CMC_flags, CMC_ui_id) { return CMC_E_NOT_SUPPORTED; }

CMC_return_code DeleteMessage(CMC_message_reference*) { return CMC_E_NOT_SUPPORTED; }

}  // namespace vk
