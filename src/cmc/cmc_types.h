// The CMC records and codes as the library uses them, plus the library's own
// constants of the call frame.
#ifndef VK_CMC_CMC_TYPES_H
#define VK_CMC_CMC_TYPES_H

#include "vkmsg/cmc.h"

namespace vk {

// The only session id ever issued.
constexpr CMC_session_id kSessionId = 1;

// Highest caller CMC version the logon accepts.
constexpr CMC_uint16 kMaxCallerVersion = CMC_VERSION;

// Flags every flag check accepts.
constexpr CMC_flags kAlwaysAcceptedFlags = CMC_ERROR_UI_ALLOWED | CMC_LOGON_UI_ALLOWED;
// The calls' own bits.
constexpr CMC_flags kSendOwnFlags = CMC_SEND_UI_REQUESTED;
constexpr CMC_flags kActOnOwnFlags = 0x00000001;
constexpr CMC_flags kLookUpOwnFlags = CMC_LOOKUP_RESOLVE_IDENTITY | CMC_LOOKUP_RESOLVE_UI | CMC_LOOKUP_ADDRESSING_UI;

// Logon working buffers (65 and 33 characters).
constexpr int kLogonNameSize = 66;
constexpr int kLogonPasswordSize = 34;

// Size of every path buffer.
constexpr int kPathSize = 128;

// True when the last element of a record array carries this flags word;
// every record array of the interface marks its last element with one bit.
static_assert(CMC_EXT_LAST_ELEMENT == CMC_RECIP_LAST_ELEMENT && CMC_RECIP_LAST_ELEMENT == CMC_ATT_LAST_ELEMENT &&
                  CMC_ATT_LAST_ELEMENT == CMC_MSG_LAST_ELEMENT && CMC_MSG_LAST_ELEMENT == CMC_SUM_LAST_ELEMENT,
              "one last-element bit");
inline bool IsLastElement(CMC_flags flags) { return (flags & CMC_EXT_LAST_ELEMENT) != 0; }

}  // namespace vk

#endif
