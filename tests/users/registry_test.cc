// The user registry through its exports, on a mail tree in a scratch
// directory, with a private WIN.INI pointing at it.

#include "users/registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "store/namelist.h"
#include "cmc/session.h"
#include "platform/fault.h"
#include "platform/memory.h"
#include "platform/profile.h"
#include "store/config.h"
#include "support/mail_tree.h"
#include "support/test_support.h"
#include "users/password.h"
#include "vkmsg/vkmsg.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

// Plays a user who closes every dialog (the locate dialog above all).
void CloseEveryDialog(void*, VkDialog*) {}

void ResetRegistryState() {
  vk::SetCachedUserList(nullptr);
  vk::UnloadConfig();
  std::memset(vk::g_mail_config.passwd_path, 0, sizeof vk::g_mail_config.passwd_path);
}

std::vector<std::string> Names(const NameList* list) {
  std::vector<std::string> names;
  if (list == nullptr) return names;
  for (unsigned i = 0; i < list->count; ++i) names.emplace_back(list->slots[i]);
  return names;
}

// What bRemUsers answers for these names.
int RemoveUsers(std::initializer_list<const char*> names) {
  NameList* list = vk::CreateNameList(4, 64);
  for (const char* name : names) list = vk::AddName(list, name, vk::kNameModeAppend);
  const int answer = bRemUsers(list);
  vk::FreeNameList(list);
  return answer;
}

std::set<std::string> TreeEntries(const fs::path& root) {
  std::set<std::string> entries;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (ec) break;
    if (it->path().filename() == "win.ini") continue;
    entries.insert(fs::relative(it->path(), root, ec).generic_string());
  }
  return entries;
}

// A bare tree made by hand, not by setup: the registry has to cope with
// what is there.
class Registry : public vktest::MailTreeTest {
 protected:
  void SetUp() override {
    ResetRegistryState();
    root_ = dir_.path();
    mail_ = MailDir();
    for (const char* dir : {"PUBLIC", "USERS", "SND", "PARCEL"}) fs::create_directories(mail_ / dir);
    passwd_ = (mail_ / "PUBLIC" / "passwd").string();
    ASSERT_TRUE(vktest::WriteWholeFile(passwd_, "[Server]\nServerName=VESK\n"));
    ASSERT_TRUE(vk::PlatWriteProfileString(nullptr, "Mail", "VeskMailPath", root_.string().c_str()));
  }
  void TearDown() override {
    CloseTree();
    ResetRegistryState();
  }

  fs::path UserDir(const std::string& name, const char* sub = nullptr) const {
    const fs::path p = MailTreeTest::UserDir(name);
    return sub ? p / sub : p;
  }
  bool HasAllDirs(const std::string& name) const {
    return fs::is_directory(UserDir(name)) && fs::is_directory(UserDir(name, "MHS")) &&
           fs::is_directory(UserDir(name, "IPARCEL"));
  }
  std::string StoredText(const char* name) const {
    char value[80];
    vk::PlatGetProfileString(passwd_.c_str(), "Passwords", name, "", value, sizeof value);
    return value;
  }
  static std::string Encoded(const char* name, const char* password) {
    char text[68] = {};
    vk::EncodePassword(name, password, text);
    return text;
  }
  // Registers a user the way another workstation would: only through the
  // shared files, never through this process's registry.
  void AddBehindTheRegistry(const char* name, const char* password) const {
    vk::PlatWriteProfileString(passwd_.c_str(), "Passwords", name, Encoded(name, password).c_str());
    vk::PlatWriteProfileString(passwd_.c_str(), nullptr, nullptr, nullptr);
    fs::create_directories(UserDir(name, "MHS"));
    fs::create_directories(UserDir(name, "IPARCEL"));
  }

  fs::path root_, mail_;
  std::string passwd_;
};

TEST_F(Registry, AddCheckAndRemoveOneUser) {
  ASSERT_EQ(bAddUser("bob", "Secret"), 1);
  EXPECT_TRUE(vk::ConfigLoaded());
  EXPECT_TRUE(HasAllDirs("bob"));
  EXPECT_EQ(StoredText("bob"), Encoded("bob", "Secret"));

  EXPECT_EQ(bCheckPW("bob", "Secret"), 1);
  EXPECT_EQ(bCheckPW("BOB", "sECRET"), 1);
  EXPECT_EQ(bCheckPW("bob", "wrong"), 0);
  EXPECT_EQ(bCheckPW("bob", ""), 0);
  EXPECT_EQ(bCheckPW("bob", nullptr), 0);
  EXPECT_EQ(bCheckPW("ann", "Secret"), 0);
  EXPECT_EQ(bCheckPW(nullptr, "Secret"), 0);

  vktest::WriteWholeFile((UserDir("bob") / "local.ab").string(), "ann\n");
  vktest::WriteWholeFile((UserDir("bob", "MHS") / "KWZ0001").string(), "mail");
  vktest::WriteWholeFile((UserDir("bob", "IPARCEL") / "KWZ0002").string(), "parcel");
  EXPECT_EQ(bRemUser("bob"), 1);
  EXPECT_FALSE(fs::exists(UserDir("bob")));
  EXPECT_EQ(StoredText("bob"), "");
  EXPECT_EQ(bCheckPW("bob", "Secret"), 0);
  EXPECT_EQ(vk::FindName(vk::CachedUserList(), "bob", 0), vk::kNameAbsent);

  // Unknown or empty names are removed already.
  EXPECT_EQ(bRemUser("nobody"), 1);
  EXPECT_EQ(bRemUser(""), 1);
  EXPECT_EQ(bRemUser(nullptr), 1);
}

TEST_F(Registry, AddingAnExistingUserReplacesOnlyThePassword) {
  // Without a password the name is the password.
  ASSERT_EQ(bAddUser("ann", nullptr), 1);
  ASSERT_EQ(bAddUser("carl", ""), 1);
  EXPECT_EQ(StoredText("ann"), Encoded("ann", "ann"));
  EXPECT_EQ(bCheckPW("ann", ""), 0);
  EXPECT_EQ(bCheckPW("carl", "CARL"), 1);

  ASSERT_EQ(bAddUser("bob", "one"), 1);
  vktest::WriteWholeFile((UserDir("bob", "MHS") / "KWZ0001").string(), "mail");
  ASSERT_EQ(bAddUser("bob", "two"), 1);
  EXPECT_EQ(vktest::ReadWholeFile((UserDir("bob", "MHS") / "KWZ0001").string()), "mail");

  // Setting a password encodes an empty one as it is; a null one is refused.
  EXPECT_EQ(vk::SetUserPassword("bob", ""), 1);
  EXPECT_EQ(StoredText("bob"), Encoded("bob", ""));
  EXPECT_EQ(vk::SetUserPassword("bob", nullptr), 0);
  EXPECT_EQ(vk::SetUserPassword(nullptr, "x"), 0);
  EXPECT_EQ(StoredText("bob"), Encoded("bob", ""));
}

TEST_F(Registry, RefusedNamesCreateNothing) {
  ASSERT_EQ(bAddUser("bob", "pw"), 1);  // loads the configuration
  const std::set<std::string> before = TreeEntries(root_);
  const std::string passwd_before = vktest::ReadWholeFile(passwd_);
  const std::string too_long(120, 'x');
  const char* refused[] = {"",   "..",     ".",      "../evil", "..\\evil", "a/b",  "a\\b",          "c:x",
                           "C:", "tab\tx", "new\nl", " bob",    "bob ",     "bob.", "a=b",           "*",
                           "a?", "a|b",    "<x>",    "\"q\"",   ";bob",     "[x]",  too_long.c_str()};
  for (const char* name : refused) {
    SCOPED_TRACE(std::string("name '") + name + "'");
    EXPECT_EQ(bAddUser(name, "pw"), 0);
    EXPECT_EQ(bCheckPW(name, "pw"), 0);
    EXPECT_EQ(vk::SetUserPassword(name, "pw"), 0);
    EXPECT_EQ(vk::RemoveUserEntry(name), 0);
    if (name[0] != '\0') {
      EXPECT_EQ(bRemUser(name), 0);
    }
  }
  EXPECT_EQ(bAddUser(nullptr, "pw"), 0);
  EXPECT_EQ(TreeEntries(root_), before);
  EXPECT_FALSE(fs::exists(mail_ / "evil"));
  EXPECT_FALSE(fs::exists(mail_ / "USERS" / "a"));
  EXPECT_EQ(vktest::ReadWholeFile(passwd_), passwd_before);
  EXPECT_EQ(bCheckPW("bob", "pw"), 1);
}

TEST_F(Registry, AdminIsNeverListedNorRemovedOneByOne) {
  ASSERT_EQ(bAddUser("admin", "zirva"), 1);
  NameList* list = lpmnlGetUserList(-1);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->count, 0u);
  vk_free_name_list(list);

  // admin is checked without being in the user list.
  EXPECT_EQ(bCheckPW("admin", "zirva"), 1);
  EXPECT_EQ(bCheckPW("ADMIN", "ZIRVA"), 1);
  EXPECT_EQ(bCheckPW("admin", "wrong"), 0);

  EXPECT_EQ(bRemUser("AdMiN"), 0);
  EXPECT_TRUE(HasAllDirs("admin"));

  // In whatever case the file spells it.
  vk::PlatWriteProfileString(passwd_.c_str(), "Passwords", "admin", nullptr);
  vk::PlatWriteProfileString(passwd_.c_str(), "Passwords", "ADMIN", Encoded("admin", "zirva").c_str());
  ASSERT_EQ(bAddUser("zed", "pw"), 1);
  list = lpmnlGetUserList(-1);
  EXPECT_EQ(Names(list), std::vector<std::string>{"zed"});
  vk_free_name_list(list);
}

// Ten thousand users, far past one 64 KB list: every one is listed, to the
// host and in the cache, and each can be added, found and checked.
TEST_F(Registry, TenThousandUsersAreAllListedAndChecked) {
  std::string text = "[Passwords]\nadmin=" + Encoded("admin", "zirva") + "\n";
  for (int i = 0; i < 10000; ++i) text += "user" + std::to_string(10000 + i) + "=0000000000000000\n";
  ASSERT_TRUE(vktest::WriteWholeFile(passwd_, text));
  AddBehindTheRegistry("user10000", "pw");
  ASSERT_EQ(bAddUser("zed", "pw"), 1);
  for (NameList* list : {lpmnlGetUserList(-1), lpmnlGetUserList(0)}) {
    ASSERT_NE(list, nullptr);
    const std::vector<std::string> names = Names(list);
    EXPECT_EQ(names.size(), 10001u);
    EXPECT_EQ(names.front(), "user10000");
    EXPECT_EQ(names.back(), "zed");
    EXPECT_NE(list->flags & VK_NAMELIST_SORTED, 0u);
    vk_free_name_list(list);
  }
  EXPECT_EQ(bCheckPW("user10000", "pw"), 1);
  EXPECT_EQ(bCheckPW("zed", "pw"), 1);
  EXPECT_EQ(bCheckPW("zed", "px"), 0);
  EXPECT_EQ(vk::ResolveUser("user19999"), CMC_SUCCESS);
}

TEST_F(Registry, RemovesSeveralUsersThroughANameList) {
  for (const char* name : {"ann", "bob", "carl", "dave"}) AddBehindTheRegistry(name, "pw");
  ASSERT_FALSE(vk::ConfigLoaded());
  EXPECT_EQ(RemoveUsers({"ann", "CARL"}), 1);  // loads the configuration first
  EXPECT_TRUE(vk::ConfigLoaded());
  EXPECT_FALSE(fs::exists(UserDir("ann")));
  EXPECT_FALSE(fs::exists(UserDir("carl")));
  EXPECT_TRUE(HasAllDirs("bob"));
  EXPECT_EQ(StoredText("ann"), "");
  EXPECT_EQ(StoredText("carl"), "");
  EXPECT_EQ(Names(vk::CachedUserList()), (std::vector<std::string>{"bob", "dave"}));

  // An empty name fails the whole call; the other names still go.
  EXPECT_EQ(RemoveUsers({"", "dave"}), 0);
  EXPECT_FALSE(fs::exists(UserDir("dave")));
  EXPECT_EQ(Names(vk::CachedUserList()), std::vector<std::string>{"bob"});

  EXPECT_EQ(bRemUsers(nullptr), 1);
  EXPECT_EQ(RemoveUsers({}), 1);
  EXPECT_TRUE(HasAllDirs("bob"));

  // A name that could leave USERS fails and touches nothing.
  fs::create_directories(mail_ / "keep");
  EXPECT_EQ(RemoveUsers({"../keep"}), 0);
  EXPECT_TRUE(fs::is_directory(mail_ / "keep"));
}

// Another workstation adds a user: on POSIX another process, at once.
TEST_F(Registry, UserAddedElsewhereIsAcceptedAtOnce) {
  ASSERT_EQ(bAddUser("ann", "a"), 1);  // the cache is loaded now
#ifndef _WIN32
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    AddBehindTheRegistry("frank", "Pass");
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
#else
  AddBehindTheRegistry("frank", "Pass");
#endif
  EXPECT_EQ(vk::FindName(vk::CachedUserList(), "frank", 0), vk::kNameAbsent);
  EXPECT_EQ(bCheckPW("frank", "pass"), 1);
  EXPECT_NE(vk::FindName(vk::CachedUserList(), "frank", 0), vk::kNameAbsent);
  NameList* list = lpmnlGetUserList(-1);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"ann", "frank"}));
  vk_free_name_list(list);
}

TEST_F(Registry, CheckNeedsTheMailboxAndTheExactText) {
  ASSERT_EQ(bAddUser("bob", "pw"), 1);
  ASSERT_EQ(bCheckPW("bob", "pw"), 1);

  std::string text = StoredText("bob");
  std::string lower = text;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  ASSERT_NE(lower, text);
  vk::PlatWriteProfileString(passwd_.c_str(), "Passwords", "bob", lower.c_str());
  EXPECT_EQ(bCheckPW("bob", "pw"), 0);
  vk::PlatWriteProfileString(passwd_.c_str(), "Passwords", "bob", text.c_str());
  EXPECT_EQ(bCheckPW("bob", "pw"), 1);

  fs::remove_all(UserDir("bob", "MHS"));
  EXPECT_EQ(bCheckPW("bob", "pw"), 0);
  ASSERT_EQ(bAddUser("bob", "pw"), 1);  // adding again restores the mailbox
  EXPECT_EQ(bCheckPW("bob", "pw"), 1);
}

TEST_F(Registry, EmptyAndRemoveDirLeavesWhatItCannotList) {
  fs::path nested = mail_ / "SND" / "nested";
  fs::create_directories(nested / "sub");
  vktest::WriteWholeFile((nested / "a").string(), "1");
  vk::EmptyAndRemoveDir(nested.string().c_str());
  EXPECT_TRUE(fs::is_directory(nested / "sub"));
  EXPECT_FALSE(fs::exists(nested / "a"));
}

TEST_F(Registry, NothingWorksWithoutATree) {
  vk::PlatWriteProfileString(nullptr, "Mail", "VeskMailPath", nullptr);
  vk_set_dialog_driver(CloseEveryDialog, nullptr);
  AddBehindTheRegistry("ann", "a");
  EXPECT_EQ(bAddUser("bob", "pw"), 0);
  EXPECT_EQ(bCheckPW("ann", "a"), 0);
  EXPECT_EQ(bRemUser("ann"), 0);
  EXPECT_EQ(RemoveUsers({"ann"}), 0);
  EXPECT_EQ(vk::SetUserPassword("ann", "pw"), 0);
  EXPECT_EQ(vk::RemoveUserEntry("ann"), 0);
  EXPECT_TRUE(HasAllDirs("ann"));
  EXPECT_FALSE(fs::exists(mail_ / "USERS" / "bob"));
  for (const char* name : {"ann", "bob"}) EXPECT_FALSE(fs::exists(fs::current_path() / "USERS" / name));
}

}  // namespace
