// What every CMC entry point does before its own work: the error slots, the
// flag check and the processing of the extensions the library understands.
#ifndef VK_CMC_FRAME_H
#define VK_CMC_FRAME_H

#include "cmc/cmc_types.h"
#include "cmc/guard.h"

namespace vk {

enum class ExtensionMode {
  kLogon,          // cmc_logon: only the support query is answered
  kConfiguration,  // cmc_query_configuration: also the error text
};

// Walks an extension array up to the element flagged last.  Item 16 answers
// each (item, answer) pair: supported for X_ERROR_TEXT, not supported for
// everything else; item 16259 (configuration mode only) fills an
// X_error_text_request from the error slot chosen by bit 0 of the element's
// flags.  Other items are ignored.  0, or CMC_E_INVALID_PARAMETER when any
// element was malformed (the others are still answered).
CMC_return_code ProcessExtensions(CMC_extension* extensions, ExtensionMode mode);

// True when `flags` has no bit outside the always-accepted ones and `own`.
inline bool FlagsAccepted(CMC_flags flags, CMC_flags own) { return (flags & ~(kAlwaysAcceptedFlags | own)) == 0; }

}  // namespace vk

#endif
