// The look-up modes that need no dialog: the identity, and a typed name or
// an address turned into one recipient.
#include "address/lookup.h"

#include <cstring>

#include "store/namelist.h"
#include "cmc/handlers.h"
#include "cmc/pool.h"
#include "cmc/session.h"
#include "users/registry.h"

namespace vk {

namespace {

// One record in a new result block: `name` and `address` (null stays null)
// copied into it.
CMC_return_code OneRecipient(const char* name, const char* address, CMC_uint32* count, CMC_recipient** recipient_out) {
  ResultPool pool{};
  PoolInit(&pool, kResolveBlockSize);
  if (pool.next == nullptr) return CMC_E_INSUFFICIENT_MEMORY;
  CMC_recipient* r = static_cast<CMC_recipient*>(PoolAllocRecord(&pool, sizeof(CMC_recipient)));
  char* name_copy = PoolDupString(&pool, name);
  char* address_copy = address != nullptr ? PoolDupString(&pool, address) : nullptr;
  if (r == nullptr || name_copy == nullptr || (address != nullptr && address_copy == nullptr)) {
    PoolReleaseBlock(pool.data);
    return CMC_E_INSUFFICIENT_MEMORY;
  }
  r->name = name_copy;
  r->name_type = CMC_TYPE_INDIVIDUAL;
  r->address = address_copy;
  r->role = CMC_ROLE_TO;
  r->recip_flags = CMC_RECIP_LAST_ELEMENT;
  r->recip_extensions = nullptr;
  *count = 1;
  *recipient_out = r;
  return CMC_SUCCESS;
}

bool IsEmpty(const char* s) { return s == nullptr || *s == '\0'; }

}  // namespace

int AddressUserName(const char* address, char* name) {
  if (name != nullptr) name[0] = '\0';
  if (address == nullptr) return 0;
  const char* at = std::strchr(address, '@');
  const std::size_t length = at != nullptr ? static_cast<std::size_t>(at - address) : std::strlen(address);
  // Cutting the name could make it name some other user.
  if (length == 0 || length > kMaxAddressName) return 0;
  char part[kMaxAddressName + 1];
  std::memcpy(part, address, length);
  part[length] = '\0';
  // The name becomes a directory below USERS on delivery.
  if (!IsSafeUserName(part)) return 0;
  if (name != nullptr) std::memcpy(name, part, length + 1);
  return 1;
}

CMC_return_code ResolveIdentity(CMC_uint32* count, CMC_recipient** recipient_out) {
  if (count == nullptr || recipient_out == nullptr) return CMC_E_INVALID_PARAMETER;
  return OneRecipient(SessionUserName(), nullptr, count, recipient_out);
}

CMC_return_code ResolveRecipient(CMC_recipient* recipient, CMC_flags look_up_flags, CMC_ui_id ui_id, CMC_uint32* count,
                                 CMC_recipient** recipient_out) {
  if (recipient == nullptr || count == nullptr || recipient_out == nullptr) return CMC_E_INVALID_PARAMETER;
  const char* name = recipient->name;
  if (!IsEmpty(name)) {
    if (FindName(CachedUserList(), name, 0) == kNameAbsent) {
      if (look_up_flags & CMC_LOOKUP_RESOLVE_UI) {
        return PickFromMatches(recipient, look_up_flags, ui_id, count, recipient_out);
      }
      // A name the registry refuses is nobody's, and is not worth a
      // re-read of the user list; any other may have been added on another
      // workstation since the list was read.
      if (!IsSafeUserName(name) || ResolveUser(name) != CMC_SUCCESS) return CMC_E_RECIPIENT_NOT_FOUND;
    }
    return OneRecipient(name, name, count, recipient_out);
  }

  const char* address = recipient->address;
  if (IsEmpty(address)) return CMC_E_INVALID_PARAMETER;
  // Delivery goes by the name before the at-sign and does not check it
  // against the users; it must at least be a name, not a path.
  char user[kMaxAddressName + 1];
  if (!AddressUserName(address, user)) return CMC_E_RECIPIENT_NOT_FOUND;
  return OneRecipient(user, address, count, recipient_out);
}

}  // namespace vk
