#include "users/registry.h"

namespace vk {

int IsSafeUserName(const char*) { return 0; }
int SetUserPassword(const char*, const char*) { return 0; }
int RemoveUserEntry(const char*) { return 0; }
void EmptyAndRemoveDir(const char*) {}
int IsUserInPasswd(const char*) { return 0; }
CMC_return_code ResolveUser(const char*) { return CMC_E_RECIPIENT_NOT_FOUND; }
NameList* CachedUserList() { return nullptr; }
void SetCachedUserList(NameList*) {}
void LoadCachedUserList() {}
void RefreshCachedUserList() {}

}  // namespace vk

extern "C" {

CMC_EXPORT int CMC_CALL bAddUser(const char*, const char*) { return 0; }
CMC_EXPORT int CMC_CALL bRemUser(const char*) { return 0; }
CMC_EXPORT int CMC_CALL bRemUsers(NameList*) { return 0; }
CMC_EXPORT int CMC_CALL bCheckPW(const char*, const char*) { return 0; }
CMC_EXPORT NameList* CMC_CALL lpmnlGetUserList(CMC_sint32) { return nullptr; }

}
