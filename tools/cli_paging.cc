// The whole mailbox through cmc_list, page by page.
#include <string>
#include <vector>

#include "cli_mail.h"

namespace cli {

namespace {

// Listings are fetched in pages: one result block holds only so many
// summaries, and a caller can always continue from a seed.
const CMC_uint32 kListPage = 100;

long long SortKey(const CMC_time& t) {
  long long y = static_cast<unsigned char>(t.year);
  return ((((y * 13 + t.month) * 32 + t.day) * 24 + t.hour) * 60 + t.minute) * 61 + t.second;
}

}  // namespace

CMC_return_code ListAll(CMC_session_id session, std::vector<Summary>* out) {
  std::string seed;
  for (;;) {
    Reference seed_ref = MakeReference(seed);
    CMC_uint32 remaining = 0;
    CMC_return_code r = cmc_list(session, nullptr, CMC_LIST_COUNT_ONLY, seed.empty() ? nullptr : seed_ref.get(),
                                 &remaining, 0, nullptr, nullptr);
    if (r != CMC_SUCCESS) return r;
    if (remaining == 0) return CMC_SUCCESS;
    CMC_uint32 count = remaining < kListPage ? remaining : kListPage;
    CMC_message_summary* sums = nullptr;
    r = cmc_list(session, nullptr, 0, seed.empty() ? nullptr : seed_ref.get(), &count, 0, &sums, nullptr);
    std::string last;
    for (CMC_uint32 i = 0; sums && i < count; ++i) {
      const CMC_message_summary& m = sums[i];
      Summary s;
      s.ref = ReferenceText(m.message_reference);
      last = s.ref;
      if (!seed.empty() && i == 0 && s.ref == seed) continue;  // the seed itself, listed last time
      s.read = (m.summary_flags & CMC_SUM_READ) != 0;
      s.from = m.originator ? OrDash(m.originator->name) : "-";
      s.date = FormatTime(m.time_sent);
      s.when = SortKey(m.time_sent);
      s.subject = m.subject ? m.subject : "";
      out->push_back(s);
    }
    if (sums) cmc_free(sums);
    if (r != CMC_SUCCESS) return r;
    if (remaining <= kListPage || last.empty() || last == seed) return CMC_SUCCESS;
    seed = last;
  }
}

}  // namespace cli
