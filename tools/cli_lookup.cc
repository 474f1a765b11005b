// The lookup command: the user's own identity, or a name resolved against
// the registered users.
#include <iostream>
#include <string>

#include "cli_mail.h"

namespace cli {

int CmdLookup(const Args& a) {
  if (a.positional.size() > 1) return Fail("lookup takes one name: vkmsg lookup [NAME]");
  MailSession s;
  if (!OpenSession(a, &s)) return 1;
  CMC_uint32 count = 0;
  CMC_recipient* out = nullptr;
  CMC_return_code r;
  std::string name;
  if (a.positional.empty()) {
    r = cmc_look_up(s.id, nullptr, CMC_LOOKUP_RESOLVE_IDENTITY, 0, &count, &out, nullptr);
  } else {
    name = a.positional[0];
    CMC_recipient in{};
    in.name = Mutable(name);
    in.recip_flags = CMC_RECIP_LAST_ELEMENT;
    r = cmc_look_up(s.id, &in, 0, 0, &count, &out, nullptr);
  }
  if (r != CMC_SUCCESS) {
    if (out) cmc_free(out);
    if (r == CMC_E_RECIPIENT_NOT_FOUND) return FailCode("lookup: '" + name + "' is not a user of this mail tree", r);
    return FailCode("lookup", r);
  }
  for (CMC_uint32 i = 0; i < count; ++i) {
    std::cout << OrDash(out[i].name);
    if (out[i].address) std::cout << " <" << out[i].address << ">";
    std::cout << "\n";
  }
  if (out) cmc_free(out);
  return 0;
}

}  // namespace cli
