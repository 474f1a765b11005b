// The list command: the mailbox oldest first, numbered, and saved so that
// later commands can name a message by its number.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli_mail.h"

namespace cli {

int CmdList(const Args& a) {
  if (!a.positional.empty()) return Fail("list takes no arguments");
  MailSession s;
  if (!OpenSession(a, &s)) return 1;
  std::vector<Summary> all;
  CMC_return_code r = ListAll(s.id, &all);
  // The directory's order means nothing to a reader: oldest first.
  std::stable_sort(all.begin(), all.end(), [](const Summary& x, const Summary& y) { return x.when < y.when; });
  std::vector<std::string> refs;
  for (auto& m : all) refs.push_back(m.ref);
  std::string user = SessionUser(&s);
  if (!SaveListing(user, refs)) std::cerr << "vkmsg: list: cannot keep the listing in " << StatePath(user) << "\n";
  bool with_refs = a.Has("--refs");
  if (all.empty() && r == CMC_SUCCESS) {
    std::cout << "no messages for " << user << "\n";
    return 0;
  }
  if (!all.empty()) {
    std::printf("%4s  %-4s  %-16s  %-16s  %s\n", "#", "", "FROM", "DATE", "SUBJECT");
    for (size_t i = 0; i < all.size(); ++i) {
      const Summary& m = all[i];
      std::printf("%4zu  %-4s  %-16s  %-16s  %s\n", i + 1, m.read ? "" : "new", Cut(m.from, 16).c_str(), m.date.c_str(),
                  m.subject.empty() ? "(no subject)" : m.subject.c_str());
      if (with_refs) std::printf("      %s\n", m.ref.c_str());
    }
  }
  if (r != CMC_SUCCESS) return FailCode("list: a message could not be read; the listing stops there", r);
  return 0;
}

}  // namespace cli
