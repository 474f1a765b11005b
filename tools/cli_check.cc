// vkmsg check: what failed or killed sends and registry writes left behind.
#include <iostream>

#include "cli.h"

namespace cli {

namespace {

void PrintFinding(void* context, const char* kind, const char* path, int report_only, int removed) {
  const bool repair = *static_cast<const bool*>(context);
  const char* what = report_only ? "for the administrator" : !repair ? "found" : removed ? "removed" : "NOT removed";
  std::cout << what << ": " << kind << ": " << path << "\n";
}

void PrintProgress(void*, unsigned long entries) {
  if (entries % 10000 == 0) std::cerr << "vkmsg: check: " << entries << " entries looked at\n";
}

}  // namespace

int CmdCheck(const Args& a) {
  if (!a.positional.empty()) return Fail("check takes no arguments: vkmsg check [--repair]");
  bool repair = a.Has("--repair");
  unsigned long totals[5] = {};
  const int rc = vk_check_tree(nullptr, repair ? 1 : 0, PrintFinding, PrintProgress, &repair, totals);
  if (rc == 1) return Fail("check: no usable mail tree");
  if (rc != 0) return Fail("check: out of memory");
  std::cout << totals[0] << " entries looked at, " << totals[1] << " found";
  if (repair) std::cout << ", " << totals[2] << " removed, " << totals[3] << " could not be removed";
  std::cout << ", " << totals[4] << " left for the administrator\n";
  // Left for the administrator counts as found, never as repaired.
  if (repair) return totals[3] == 0 && totals[4] == 0 ? kExitOk : kExitFailed;
  return totals[1] == 0 ? kExitOk : kExitFailed;
}

}  // namespace cli
