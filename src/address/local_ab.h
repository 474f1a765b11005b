// The user's local address book: a private profile file "local.ab" in the
// user's own directory (the session's local address book path), section
// "Users", one entry per name with the name as key and as value.  A name is
// present when its key holds a non-empty value.  Every write is followed by
// a flush of the profile cache.  Without a session there is no path, and
// the address book is empty and cannot be written.
//
// The address list the dialogs offer is the registered users and the
// address book together.
#ifndef VK_ADDRESS_LOCAL_AB_H
#define VK_ADDRESS_LOCAL_AB_H

#include "vkmsg/vkmsg.h"

namespace vk {

constexpr const char* kAddressBookSection = "Users";
// The buffer the section's key names are read into.
constexpr int kAddressBookKeysSize = 32767;

// The names of the address book, sorted, each once (compared without
// regard to case); null when there is none, it holds no name, or memory
// fails.  The caller frees the list (FreeNameList).
NameList* LoadAddressBook();

// Stores `name` in the address book and flushes.  1 when it was written;
// 0 for a null or empty name, no address book path, a name whose part
// before the at-sign is no user name (a path, over-long, profile syntax),
// or a failed write.
int AddAddressBookName(const char* name);

// Deletes the entry of `name` and flushes.  1 on success (also when there
// was no such entry), 0 for a null or empty name, no address book path, or
// a failed write.
int RemoveAddressBookName(const char* name);

// 1 when `name` is present in the address book, else 0 (also for null).
int IsInAddressBook(const char* name);

// The registered users and the address book's names together, sorted
// without regard to case, each once; where both hold a name the registered
// user's spelling wins.  Null when memory fails.  The caller frees it.
NameList* LoadAddressList();

}  // namespace vk

#endif
