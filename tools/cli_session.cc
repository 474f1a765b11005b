// The logged-on session of one mail command, and message references.
#include <cstring>
#include <string>

#include "cli_mail.h"

namespace cli {

Reference MakeReference(const std::string& text) {
  Reference r;
  r.bytes.assign(sizeof(CMC_uint32) + text.size() + 1, '\0');
  CMC_uint32 len = static_cast<CMC_uint32>(text.size());
  std::memcpy(r.bytes.data(), &len, sizeof len);
  std::memcpy(r.bytes.data() + sizeof len, text.data(), text.size());
  return r;
}

std::string ReferenceText(const CMC_message_reference* ref) {
  if (!ref) return std::string();
  return std::string(ref->string, ref->length);
}

bool OpenSession(const Args& a, MailSession* s) {
  PlayerFromArgs(a, &s->player);
  return Logon(&s->player, &s->id) == CMC_SUCCESS;
}

std::string SessionUser(MailSession* s) {
  CMC_uint32 count = 0;
  CMC_recipient* me = nullptr;
  std::string name;
  if (cmc_look_up(s->id, nullptr, CMC_LOOKUP_RESOLVE_IDENTITY, 0, &count, &me, nullptr) == CMC_SUCCESS && me &&
      count > 0 && me->name)
    name = me->name;
  if (me) cmc_free(me);
  if (name.empty()) name = s->player.user;
  return Lower(name);
}

}  // namespace cli
