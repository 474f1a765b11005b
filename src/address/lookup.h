// Address look-up: the logged-on user's identity, a typed name resolved
// against the registered users, and the recipient records handed out for
// them.  The entry points of cmc_look_up (cmc/handlers.h: ResolveIdentity,
// ResolveRecipient, AddressingDialog) are defined here; the two that let
// the user pick run the select-users dialog.
//
// An address is a registered user name, optionally followed by an at-sign
// and text that delivery ignores.  Every record handed out lies in one
// result block the caller releases with cmc_free; the last record carries
// CMC_RECIP_LAST_ELEMENT.
#ifndef VK_ADDRESS_LOOKUP_H
#define VK_ADDRESS_LOOKUP_H

#include <cstddef>

#include "cmc/cmc_types.h"

namespace vk {

// The longest name taken from an address ("carol" of "carol@host"); an
// address whose user part is longer is not found rather than cut.
constexpr std::size_t kMaxAddressName = 63;

// The result block of a single resolved recipient is made this large.
constexpr uint32_t kResolveBlockSize = 280;

// The prefix choice: for each recipient of `recipients` (up to the one
// flagged last) the registered users whose names begin with the typed name
// (case-sensitively) are offered in the select-users dialog; the chosen
// names of all recipients together, sorted and each once, come back as
// records.  A cancelled dialog contributes no names.
CMC_return_code PickFromMatches(CMC_recipient* recipients, CMC_flags look_up_flags, CMC_ui_id ui_id, CMC_uint32* count,
                                CMC_recipient** recipient_out);

// 1 when the user part of `address` (before its first at-sign) can name a
// user of the mail tree: a name the registry would accept and at most
// kMaxAddressName characters.  `name` (kMaxAddressName + 1 bytes, may be
// null) receives that part; it is empty when the answer is 0.
int AddressUserName(const char* address, char* name);

}  // namespace vk

#endif
