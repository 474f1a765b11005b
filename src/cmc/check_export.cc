// The tree check's export: the tool's way in to the check of the send side.
#include "cmc/guard.h"
#include "send/check.h"
#include "store/config.h"
#include "users/registry.h"
#include "vkmsg/vkmsg.h"

namespace {

struct Relay {
  VkCheckFinding finding;
  VkCheckProgress progress;
  void* context;
};

void RelayFinding(void* context, const vk::CheckFinding& f) {
  const Relay* r = static_cast<const Relay*>(context);
  if (r->finding) r->finding(r->context, vk::DebrisName(f.kind), f.path, f.report_only ? 1 : 0, f.removed ? 1 : 0);
}

void RelayProgress(void* context, uint64_t entries) {
  const Relay* r = static_cast<const Relay*>(context);
  if (r->progress) r->progress(r->context, static_cast<unsigned long>(entries));
}

}  // namespace

extern "C" CMC_EXPORT int vk_check_tree(const char* mail_dir, int repair, VkCheckFinding finding,
                                        VkCheckProgress progress, void* context, unsigned long totals[5]) {
  return vk::Guarded(2, [&]() -> int {
    if (mail_dir == nullptr) {
      if (vk::EnsureConfigLoaded() != 0) return 1;
      mail_dir = vk::g_mail_config.mail_dir;
    }
    Relay relay{finding, progress, context};
    vk::CheckCallbacks callbacks;
    callbacks.finding = RelayFinding;
    callbacks.progress = RelayProgress;
    callbacks.context = &relay;
    vk::CheckTotals t;
    const int rc = vk::CheckMailTree(mail_dir, repair != 0, callbacks, &t);
    if (totals != nullptr) {
      const uint64_t all[5] = {t.entries, t.found, t.removed, t.failed, t.report_only};
      for (int i = 0; i < 5; ++i) totals[i] = static_cast<unsigned long>(all[i]);
    }
    return rc;
  });
}
