// The pick command: recipients chosen in the library's select-users dialog,
// either from every address (the addressing dialog, starting from the names
// given) or among the users whose names begin with --prefix.
#include <iostream>
#include <string>
#include <vector>

#include "cli_mail.h"

namespace cli {

int CmdPick(const Args& a) {
  if (a.Has("--prefix") && !a.positional.empty()) return Fail("pick takes either --prefix TEXT or names, not both");
  std::string prefix = a.Get("--prefix");
  if (a.Has("--prefix") && prefix.empty()) return Fail("pick: --prefix needs the beginning of a name");
  MailSession s;
  if (!OpenSession(a, &s)) return 1;
  std::vector<std::string> names = a.Has("--prefix") ? std::vector<std::string>{prefix} : a.positional;
  std::vector<CMC_recipient> in(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    in[i] = CMC_recipient{};
    in[i].name = Mutable(names[i]);
  }
  if (!in.empty()) in.back().recip_flags = CMC_RECIP_LAST_ELEMENT;
  CMC_uint32 count = 0;
  CMC_recipient* out = nullptr;
  CMC_flags flags = a.Has("--prefix") ? CMC_LOOKUP_RESOLVE_UI : CMC_LOOKUP_ADDRESSING_UI;
  CMC_return_code r = cmc_look_up(s.id, in.empty() ? nullptr : in.data(), flags, 0, &count, &out, nullptr);
  if (r == CMC_E_USER_CANCEL) return FailCode("pick: cancelled", r);
  if (r != CMC_SUCCESS) return FailCode("pick", r);
  for (CMC_uint32 i = 0; i < count; ++i) std::cout << OrDash(out[i].name) << "\n";
  if (count == 0) std::cout << "nobody chosen\n";
  if (out) cmc_free(out);
  return 0;
}

}  // namespace cli
