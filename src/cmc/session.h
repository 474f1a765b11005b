// The one CMC session of the process: who is logged on, the error slots the
// error-text extension reads, and the few process-wide fields the other parts
// of the library share (the select-users dialog's position, the cached user
// list, the local address book path).  The user name and mailbox directory
// of the configuration record belong to the session as well.
#ifndef VK_CMC_SESSION_H
#define VK_CMC_SESSION_H

#include <cstdint>

#include "cmc/cmc_types.h"
#include "cmc/pool.h"
#include "vkmsg/vkmsg.h"

namespace vk {

constexpr int kErrorTextSize = 512;
constexpr int kUserNameCopySize = 64;

struct ErrorSlot {
  uint16_t string_id;
  char text[kErrorTextSize];
};

struct SessionRecord {
  CMC_session_id session_id;  // 0 = none; 1 while a user is logged on
  int32_t dialog_left;        // select-users dialog; (-1, -1) = not yet placed
  int32_t dialog_top;
  uint32_t config_loaded;  // nonzero once LoadConfig succeeded
  ResultPool pool;         // the session pool, made at module load
  char* user_name_copy;    // UserNameCopy: 64 bytes holding the user name
  char* identity_address;  // the identity's address, if look-up keeps one
  uint16_t last_error;
  ErrorSlot slot[2];              // chosen by bit 0 of an extension's flags
  NameList* user_list;            // cached registered users (null = none)
  char local_ab_path[kPathSize];  // <mail>USERS\<name>\local.ab
};

// The process-wide record.
extern SessionRecord g_session;
inline SessionRecord& Session() { return g_session; }

// Sets the last error code and both string ids to 0 and both texts empty.
void ClearErrorSlots();
// The session argument is valid when it is nonzero and equals the current,
// nonzero session id.
bool SessionIsValid(CMC_session_id session);
// The current session id, 0 when nobody is logged on.
CMC_session_id CurrentSessionId();
// The logged-on user's name; "" when nobody is logged on (never null).
const char* SessionUserName();

// For the configuration, whose loaded mark the session record keeps: sets
// the mark, and on unloading forgets the user-name copy and the identity
// address, so that SessionUserName answers "".
void MarkConfigLoaded(bool loaded);
void ForgetSessionUser();

}  // namespace vk

#endif
