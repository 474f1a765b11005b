// The one guard of the export boundary: no C++ exception may reach the host,
// which would be terminated by it.
#ifndef VK_CMC_GUARD_H
#define VK_CMC_GUARD_H

#include "cmc/cmc_types.h"

namespace vk {

// Runs `body` and hands back its result; an exception leaving it (a failed
// allocation in the standard library, say) becomes `failure` instead.  Every
// exported function runs its work through this: an exception that reached
// the host would terminate it.
template <typename R, typename Body>
R Guarded(R failure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

// Guarded for the CMC entry points: an exception means memory ran out.
template <typename Body>
CMC_return_code GuardedCmc(Body&& body) noexcept {
  return Guarded<CMC_return_code>(CMC_E_INSUFFICIENT_MEMORY, static_cast<Body&&>(body));
}

}  // namespace vk

#endif
