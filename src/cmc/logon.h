// Logon proper and logoff: the session's user, mailbox and local address
// book, after the call frame's checks.
#ifndef VK_CMC_LOGON_H
#define VK_CMC_LOGON_H

#include "cmc/cmc_types.h"

namespace vk {

CMC_return_code LogonUser(const char* user, const char* password, CMC_ui_id ui_id, CMC_session_id* session,
                          CMC_extension* logon_extensions);
CMC_return_code LogoffUser();

}  // namespace vk

#endif
