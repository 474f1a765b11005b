// The local address book and the address list built with it.
#include "address/local_ab.h"

#include <cstring>

#include "address/lookup.h"
#include "store/namelist.h"
#include "cmc/session.h"
#include "platform/memory.h"
#include "platform/profile.h"

namespace vk {

namespace {

// The value buffer of a presence test.
constexpr int kValueSize = 128;

const char* BookPath() {
  const char* path = Session().local_ab_path;
  return path[0] != '\0' ? path : nullptr;
}

void Flush(const char* path) { PlatWriteProfileString(path, nullptr, nullptr, nullptr); }

bool IsEmpty(const char* s) { return s == nullptr || *s == '\0'; }

bool HasValue(const char* path, const char* name) {
  char value[kValueSize];
  value[0] = '\0';
  return PlatGetProfileString(path, kAddressBookSection, name, "", value, kValueSize) > 0 && value[0] != '\0';
}

}  // namespace

NameList* LoadAddressBook() {
  const char* path = BookPath();
  if (path == nullptr) return nullptr;
  WorkBuffer buffer(kAddressBookKeysSize);
  char* keys = buffer.bytes;
  if (keys == nullptr) return nullptr;
  NameList* list = nullptr;
  const int copied = PlatGetProfileString(path, kAddressBookSection, nullptr, "", keys, kAddressBookKeysSize);
  if (copied > 0) {
    list = CreateNameList(static_cast<unsigned>(copied) / 10, static_cast<std::size_t>(copied));
    for (const char* key = keys; list != nullptr && key < keys + copied && *key != '\0'; key += std::strlen(key) + 1) {
      // A key left without its value (an entry edited by hand) is not in
      // the book: the list agrees with IsInAddressBook.
      // Nor is a name that could not be delivered to: it would become a
      // path on its way.
      if (AddressUserName(key, nullptr) && HasValue(path, key)) list = AddName(list, key, kNameModeSortedUnique);
    }
    if (list != nullptr && list->count == 0) list = FreeNameList(list);
  }
  return list;
}

int AddAddressBookName(const char* name) {
  const char* path = BookPath();
  if (IsEmpty(name) || path == nullptr) return 0;
  // A chosen name becomes a recipient whose user part names a directory.
  if (!AddressUserName(name, nullptr)) return 0;
  const bool written = PlatWriteProfileString(path, kAddressBookSection, name, name);
  Flush(path);
  return written ? 1 : 0;
}

int RemoveAddressBookName(const char* name) {
  const char* path = BookPath();
  if (IsEmpty(name) || path == nullptr) return 0;
  const bool written = PlatWriteProfileString(path, kAddressBookSection, name, nullptr);
  Flush(path);
  return written ? 1 : 0;
}

int IsInAddressBook(const char* name) {
  const char* path = BookPath();
  if (IsEmpty(name) || path == nullptr) return 0;
  return HasValue(path, name) ? 1 : 0;
}

NameList* LoadAddressList() {
  NameList* users = lpmnlGetUserList(-1);
  NameList* book = LoadAddressBook();
  if (book == nullptr) {
    if (users != nullptr && (users->flags & VK_NAMELIST_SORTED) == 0) SortNameList(users);
    return users;
  }
  NameList* all = UnionNameLists(users, book, kNameModeMarkPresent);
  FreeNameList(users);
  FreeNameList(book);
  if (all != nullptr && (all->flags & VK_NAMELIST_SORTED) == 0) SortNameList(all);
  return all;
}

}  // namespace vk
