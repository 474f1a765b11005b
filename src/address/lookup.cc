// The look-up modes: the identity, a typed name or an address turned into
// one recipient, and the two that let the user pick in the select-users
// dialog.
#include "address/lookup.h"

#include <cstring>

#include "address/local_ab.h"
#include "dialogs/resources.h"
#include "address/select_users.h"

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

namespace {

UiWindow Owner(CMC_ui_id ui_id) { return reinterpret_cast<UiWindow>(ui_id); }

// One record per name of `names`, in list order, each with `name` and
// `address` the same copy; null names give a count of 0 and a null array.
CMC_return_code ChosenRecipients(const NameList* names, CMC_uint32* count, CMC_recipient** recipient_out) {
  if (names == nullptr || names->count == 0) return CMC_SUCCESS;
  uint32_t size = 64;
  for (unsigned i = 0; i < names->count; ++i) {
    size += static_cast<uint32_t>(sizeof(CMC_recipient) + std::strlen(names->slots[i]) + 16);
  }
  ResultPool pool{};
  PoolInit(&pool, size);
  if (pool.next == nullptr) return CMC_E_INSUFFICIENT_MEMORY;
  CMC_recipient* r = static_cast<CMC_recipient*>(PoolAllocRecord(&pool, names->count * sizeof(CMC_recipient)));
  for (unsigned i = 0; r != nullptr && i < names->count; ++i) {
    char* copy = PoolDupString(&pool, names->slots[i]);
    if (copy == nullptr) r = nullptr;
    if (r == nullptr) break;
    r[i].name = copy;
    r[i].address = copy;
    r[i].name_type = CMC_TYPE_INDIVIDUAL;
    r[i].role = CMC_ROLE_TO;
    r[i].recip_flags = i + 1 == names->count ? CMC_RECIP_LAST_ELEMENT : 0;
    r[i].recip_extensions = nullptr;
  }
  if (r == nullptr) {
    PoolReleaseBlock(pool.data);
    return CMC_E_INSUFFICIENT_MEMORY;
  }
  *count = names->count;
  *recipient_out = r;
  return CMC_SUCCESS;
}

// Appends `name` to `*list`; false when the list could not take it.
bool Append(NameList** list, const char* name, unsigned mode) {
  *list = AddName(*list, name, mode);
  return FindName(*list, name, 0) != kNameAbsent;
}

// The registered users whose names begin with `typed`, compared character
// for character, into `matches`; false when memory fails.
bool CollectMatches(const char* typed, NameList** matches) {
  const NameList* users = CachedUserList();
  if (users == nullptr) return true;
  const std::size_t length = std::strlen(typed);
  for (unsigned at = FindName(users, typed, kNameModeInsertPos); at < users->count; ++at) {
    const char* user = users->slots[at];
    if (std::strncmp(user, typed, length) != 0) break;
    if (!Append(matches, user, kNameModeMarkPresent)) return false;
  }
  return true;
}

}  // namespace

CMC_return_code PickFromMatches(CMC_recipient* recipients, CMC_flags, CMC_ui_id ui_id, CMC_uint32* count,
                                CMC_recipient** recipient_out) {
  if (recipients == nullptr || count == nullptr || recipient_out == nullptr) return CMC_E_INVALID_PARAMETER;
  NameList* result = CreateNameList(8, 512);
  NameList* matches = CreateNameList(8, 512);
  CMC_return_code rc = result != nullptr && matches != nullptr ? CMC_SUCCESS : CMC_E_INSUFFICIENT_MEMORY;
  for (CMC_recipient* r = recipients; rc == CMC_SUCCESS; ++r) {
    if (!IsEmpty(r->name)) {
      if (!CollectMatches(r->name, &matches)) {
        rc = CMC_E_INSUFFICIENT_MEMORY;
        break;
      }
      NameList* chosen = SelectUsersDialog(Owner(ui_id), kSelectUsersTemplate, matches, nullptr);
      if (chosen != nullptr) {
        NameList* merged = UnionNameLists(result, chosen, kNameModeSortedUnique);
        FreeNameList(chosen);
        if (merged == nullptr) rc = CMC_E_INSUFFICIENT_MEMORY;
        if (merged != nullptr) {
          FreeNameList(result);
          result = merged;
        }
      }
      matches = ClearNameList(matches);
    }
    if (r->recip_flags & CMC_RECIP_LAST_ELEMENT) break;
  }
  if (rc == CMC_SUCCESS) rc = ChosenRecipients(result, count, recipient_out);
  FreeNameList(result);
  FreeNameList(matches);
  return rc;
}

CMC_return_code AddressingDialog(CMC_recipient* recipients, CMC_ui_id ui_id, CMC_uint32* count,
                                 CMC_recipient** recipient_out) {
  if (count == nullptr || recipient_out == nullptr) return CMC_E_INVALID_PARAMETER;
  RefreshCachedUserList();
  // The address book joins the users from the start: it is where a user
  // keeps the names he picks that are not users of this tree.
  NameList* all = LoadAddressList();
  if (all == nullptr) return CMC_E_INVALID_CONFIGURATION;
  SortNameList(all);
  NameList* chosen = CreateNameList(16, 1024);
  CMC_return_code rc = chosen != nullptr ? CMC_SUCCESS : CMC_E_INSUFFICIENT_MEMORY;
  for (CMC_recipient* r = recipients; rc == CMC_SUCCESS && r != nullptr; ++r) {
    if (!IsEmpty(r->name) && !Append(&chosen, r->name, kNameModeAppend)) rc = CMC_E_INSUFFICIENT_MEMORY;
    if (r->recip_flags & CMC_RECIP_LAST_ELEMENT) break;
  }
  NameList* picked = nullptr;
  if (rc == CMC_SUCCESS) {
    SortNameList(chosen);
    picked = SelectUsersDialog(Owner(ui_id), kSelectUsersTemplate, all, chosen);
    rc = picked != nullptr ? ChosenRecipients(picked, count, recipient_out) : CMC_E_USER_CANCEL;
  }
  FreeNameList(picked);
  FreeNameList(chosen);
  FreeNameList(all);
  return rc;
}

}  // namespace vk
