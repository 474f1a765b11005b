// The session record and the small questions other parts ask about it.
#include "cmc/session.h"

#include <cstring>

namespace vk {

SessionRecord g_session;

void ClearErrorSlots() {
  g_session.last_error = 0;
  for (ErrorSlot& slot : g_session.slot) {
    slot.string_id = 0;
    slot.text[0] = '\0';
  }
}

bool SessionIsValid(CMC_session_id session) {
  return session != 0 && g_session.session_id != 0 && session == g_session.session_id;
}

CMC_session_id CurrentSessionId() { return g_session.session_id; }

const char* SessionUserName() {
  if (g_session.session_id == 0 || g_session.user_name_copy == nullptr) return "";
  return g_session.user_name_copy;
}

void MarkConfigLoaded(bool loaded) { g_session.config_loaded = loaded ? 1 : 0; }

void ForgetSessionUser() {
  g_session.user_name_copy = nullptr;
  g_session.identity_address = nullptr;
}

}  // namespace vk
