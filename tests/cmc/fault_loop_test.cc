// Every public operation with a fault at each of its steps in turn, once and
// from then on, in every way the platform fails: each run ends in success
// or a clean error, success always has its effect, and afterwards no handle
// is open, no message is visible that is not whole, nothing of a failed send
// stays in SND or PARCEL and the passwd file still holds every user.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cmc/session.h"
#include "platform/fault.h"
#include "platform/profile.h"
#include "read/list.h"
#include "store/config.h"
#include "support/mail_tree.h"

// The program's C++ allocations fail where the hook says a memory step must.
// Replacing new and delete together keeps malloc and free paired.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
namespace {
bool g_cxx_faults = false;
}  // namespace

void* operator new(std::size_t n) {
  if (g_cxx_faults && vk::PlatFaultMemoryHit()) throw std::bad_alloc();
  if (void* p = std::malloc(n != 0 ? n : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  if (g_cxx_faults && vk::PlatFaultMemoryHit()) return nullptr;
  return std::malloc(n != 0 ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

namespace fs = std::filesystem;
using vktest::Attach;
using vktest::Message;
using vktest::To;

// The loop runs thousands of operations; on a memory file system their
// flushes cost nothing.  A base, so that it is set before the tree is made.
struct OnMemoryDisk {
#ifdef __linux__
  vktest::ScopedEnv tmp{"TMPDIR", fs::is_directory("/dev/shm") ? "/dev/shm" : std::getenv("TMPDIR")};
#endif
};

class FaultLoop : private OnMemoryDisk, public vktest::SenderTree {
 public:
  using MailTreeTest::Mailbox;
  using MailTreeTest::Parcels;
  using MailTreeTest::UserDir;
  struct Op {
    const char* name;
    void (*prepare)(FaultLoop*);
    long (*run)(FaultLoop*);          // a CMC code, or the export's 1/0
    void (*check)(FaultLoop*, long);  // that the result is true
    int cxx;                          // C++ allocations fail too: 1 once, 2 also from then on
  };

  void Loop(const Op& op);

  // Built before the fault is armed: the operation itself must not allocate.
  std::string a_, b_, paths_;  // attachment sources
  std::string other_;          // a directory for a new tree
  std::vector<CMC_recipient> r_;
  std::vector<CMC_attachment> at_;
  CMC_message m_{};
  std::vector<char> ref_;  // bob's message
  bool strict_ = true;     // a fault that fired once: undoing could run

  // Bob's message with one parcel, as a host finds it.
  void PutMessage() {
    const std::string parcel = (Parcels("bob") / "KWZ0001").string();
    ASSERT_TRUE(vktest::WriteWholeFile(parcel, "PPP"));
    const std::string bytes = vktest::MessageBytes(
        {"From: ann", "To: bob", "Attachment: KWZ0001", "Attachment-name: p.txt", "Subject: hello"}, "body\r\n");
    ASSERT_TRUE(vktest::WriteWholeFile((Mailbox("bob") / "KWZ0002").string(), bytes));
    ref_ = vktest::RefBytes(vk::g_mail_config.user_dir + std::string("KWZ0002"));
  }
  bool MineThere() const {
    return fs::exists(Mailbox("bob") / "KWZ0002") || fs::exists(Mailbox("bob") / "KWZ0002.red");
  }
  std::set<std::string> PasswdUsers() const;
  void ExpectDelivered(const std::vector<const char*>& users, bool each) const;
  void CheckTree(bool strict) const;
  void Reset();
};

// The keys of [Passwords]; a line that is neither a section, a key nor empty
// fails the test.
std::set<std::string> FaultLoop::PasswdUsers() const {
  std::set<std::string> users;
  std::istringstream in(Read(MailDir("PUBLIC") / "passwd"));
  bool passwords = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t eq = line.find('=');
    if (line.empty() || line[0] == '[') {
      passwords = passwords ? line.empty() : line == "[Passwords]";
    } else {
      EXPECT_NE(eq, std::string::npos) << "passwd line: " << line;
      if (passwords && eq != std::string::npos) users.insert(line.substr(0, eq));
    }
  }
  return users;
}

// Each of `users` holds the sent message whole (with parcels AAA and BBBB),
// exactly once when `each`, else at most once.
void FaultLoop::ExpectDelivered(const std::vector<const char*>& users, bool each) const {
  for (const char* user : users) {
    const std::vector<std::string> names = FileNames(Mailbox(user));
    EXPECT_EQ(names.size(), each ? 1u : names.size() > 1 ? 1u : names.size()) << user;
    for (const std::string& name : names) {
      const std::string text = Read(Mailbox(user) / name);
      const size_t at = text.find("\r\nAttachment: ");
      ASSERT_NE(at, std::string::npos) << user << " " << text;
      EXPECT_NE(text.find("\r\n\r\nbody"), std::string::npos) << user;
      EXPECT_EQ(Read(Parcels(user) / text.substr(at + 14, 7)), "AAA") << user;
      EXPECT_EQ(Read(Parcels(user) / text.substr(at + 23, 7)), "BBBB") << user;
    }
  }
}

// No temporary file, claim or lock anywhere; strict: SND and PARCEL empty.
void FaultLoop::CheckTree(bool strict) const {
  for (const auto& e : fs::recursive_directory_iterator(Mail())) {
    const std::string name = e.path().filename().string();
    const bool debris = name.rfind(".passwd.", 0) == 0 || name.find(".tmp") != std::string::npos ||
                        name.find(".lck") != std::string::npos ||
                        (e.is_directory() && e.path().parent_path().filename() == "MHS");
    EXPECT_FALSE(strict && debris) << e.path();
  }
  if (strict) ExpectStagingEmpty();
  const std::set<std::string> users = PasswdUsers();
  for (const char* user : {"admin", "bob", "ann", "carl"}) EXPECT_EQ(users.count(user), 1u) << user;
}

// Back to four users with empty mailboxes, bob logged on, no fault.
void FaultLoop::Reset() {
  vk::PlatFaultDisarm();
  std::vector<fs::path> gone;
  for (const auto& e : fs::recursive_directory_iterator(Mail())) {
    const fs::path dir = e.path().parent_path().filename();
    if (dir == "MHS" || dir == "IPARCEL" || dir == "SND" || dir == "PARCEL") gone.push_back(e.path());
  }
  for (const fs::path& p : gone) fs::remove_all(p);
  for (const auto& e : fs::directory_iterator(Mail())) {
    const std::string name = e.path().filename().string();
    if (name.rfind(".passwd.", 0) == 0 || name.find(".lck") != std::string::npos) fs::remove_all(e.path());
  }
  fs::remove_all(other_);
  const std::set<std::string> users = PasswdUsers();
  if (users.count("dave") == 0 || !fs::exists(Mailbox("dave"))) {
    EXPECT_EQ(bAddUser("dave", "pw"), 1);
  }
  if (bCheckPW("carl", "pw") != 1) {
    EXPECT_EQ(bAddUser("carl", "pw"), 1);
  }
  if (users.count("eve") != 0 || fs::exists(UserDir("eve"))) {
    EXPECT_EQ(bRemUser("eve"), 1);
  }
}

int OpenHandles() {
#ifdef __linux__
  int n = 0;
  for (auto it = fs::directory_iterator("/proc/self/fd"); it != fs::directory_iterator(); ++it) ++n;
  return n;
#else
  return 0;
#endif
}

void FaultLoop::Loop(const Op& op) {
  a_ = Source("a.txt", "AAA");
  b_ = Source("b.txt", "BBBB");
  paths_ = a_ + ";" + b_;
  other_ = dir_.Join("other");
  r_ = {To("ann"), To("carl"), To("dave")};
  at_ = {Attach(a_, "a.txt"), Attach(b_, "b.txt")};
  m_ = Message(r_, &at_, "s", "body");
  const vk::PlatFaultKind kinds[] = {vk::PlatFaultKind::kIoError, vk::PlatFaultKind::kShortWrite,
                                     vk::PlatFaultKind::kDiskFull, vk::PlatFaultKind::kSharing};
  for (int pass = 0; pass < 4; ++pass) {
    const bool persistent = pass % 2 == 1;
    const bool memory = pass >= 2;
    for (long n = 1;; ++n) {
      // A sharing violation from then on would only time out the retries.
      const vk::PlatFaultKind kind = memory ? vk::PlatFaultKind::kNoMemory : kinds[n % (persistent ? 3 : 4)];
      SCOPED_TRACE(std::string(op.name) + (persistent ? " from step " : " at step ") + std::to_string(n) + " kind " +
                   std::to_string(static_cast<int>(kind)));
      ASSERT_NO_FATAL_FAILURE(op.prepare(this));
      const int handles = OpenHandles();
      const vk::MailConfig config = vk::g_mail_config;
      g_cxx_faults = op.cxx > (persistent ? 1 : 0);
      vk::PlatFaultArm(n, persistent, kind);
      const long rc = op.run(this);
      const bool fired = vk::PlatFaultFired();
      vk::PlatFaultDisarm();
      g_cxx_faults = false;
      strict_ = !persistent || !fired;
      // A listing holds the mailbox directory until the next scan or the
      // logoff; what it held must go with it.
      vk::ForgetListing();
      EXPECT_EQ(OpenHandles(), handles) << "a handle was left open";
      op.check(this, rc);
      CheckTree(strict_);
      // Setup points the workstation at the tree it made.
      vk::g_mail_config = config;
      vk::PlatWriteProfileString(nullptr, vk::kMailPathSection, vk::kMailPathKey, config.mail_dir);
      Reset();
      if (::testing::Test::HasFailure()) return;
      if (!fired) break;
      ASSERT_LT(n, 5000) << "the fault never stopped firing";
    }
  }
}

void Nothing(FaultLoop*) {}

long SendThree(FaultLoop* t) { return cmc_send(vk::Session().session_id, &t->m_, 0, 0, nullptr); }

long SendDocuments(FaultLoop* t) {
  return cmc_send_documents(const_cast<char*>("ann;carl;dave"), const_cast<char*>("s"), const_cast<char*>("body"), 0,
                            &t->paths_[0], nullptr, const_cast<char*>(";"), 0);
}

void Sent(FaultLoop* t, long rc) { t->ExpectDelivered({"ann", "carl", "dave"}, rc == CMC_SUCCESS); }

void Put(FaultLoop* t) { t->PutMessage(); }

long List(FaultLoop*) {
  CMC_uint32 count = 0;
  CMC_message_summary* result = nullptr;
  const CMC_return_code rc = cmc_list(vk::Session().session_id, nullptr, 0, nullptr, &count, 0, &result, nullptr);
  // The one message, whole, or a failure.
  const bool right =
      rc != CMC_SUCCESS || (count == 1 && result != nullptr && std::strcmp(result->subject, "hello") == 0);
  if (result != nullptr) cmc_free(result);
  return right ? rc : -1;
}

long ReadMarked(FaultLoop* t) {
  CMC_message* m = nullptr;
  const CMC_return_code rc =
      cmc_read(vk::Session().session_id, reinterpret_cast<CMC_message_reference*>(t->ref_.data()), 0, &m, 0, nullptr);
  const bool right = rc != CMC_SUCCESS || (m != nullptr && std::strcmp(m->text_note, "body\r\n") == 0);
  if (m != nullptr) cmc_free(m);
  return right ? rc : -1;
}

// Read and marked, or failed with the message as it was.
void Marked(FaultLoop* t, long rc) {
  EXPECT_GE(rc, 0);
  const bool unmarked = fs::exists(t->Mailbox("bob") / "KWZ0002");
  EXPECT_NE(unmarked, fs::exists(t->Mailbox("bob") / "KWZ0002.red"));
  EXPECT_EQ(unmarked, rc != CMC_SUCCESS);
}

long Delete(FaultLoop* t) {
  return cmc_act_on(vk::Session().session_id, reinterpret_cast<CMC_message_reference*>(t->ref_.data()),
                    CMC_ACT_ON_DELETE, 0, 0, nullptr);
}

void Deleted(FaultLoop* t, long rc) {
  if (rc == CMC_SUCCESS) {
    EXPECT_FALSE(t->MineThere());
  }
  // A message still there still has its parcel.
  if (t->MineThere()) {
    EXPECT_TRUE(fs::exists(t->Parcels("bob") / "KWZ0001"));
  }
}

void Listed(FaultLoop*, long rc) { EXPECT_GE(rc, 0) << "a listing succeeded with the wrong result"; }

long AddEve(FaultLoop*) { return bAddUser("eve", "new"); }
void AddedEve(FaultLoop* t, long rc) {
  EXPECT_EQ(t->PasswdUsers().count("eve"), rc == 1 ? 1u : 0u);
  if (t->strict_) {
    EXPECT_EQ(fs::exists(t->UserDir("eve")), rc == 1);
  }
  if (rc == 1) {
    EXPECT_EQ(bCheckPW("eve", "new"), 1);
  }
}

long RemoveDave(FaultLoop*) { return bRemUser("dave"); }
void RemovedDave(FaultLoop* t, long rc) {
  const bool listed = t->PasswdUsers().count("dave") == 1;
  EXPECT_EQ(listed, rc == 0);
  // A registered user always has his mailbox.
  if (listed) {
    EXPECT_TRUE(fs::exists(t->Mailbox("dave")));
  }
}

long Repassword(FaultLoop*) { return bAddUser("carl", "new"); }
void Repassworded(FaultLoop*, long rc) {
  EXPECT_EQ(bCheckPW("carl", "new"), rc == 1 ? 1 : 0);
  if (rc == 0) {
    EXPECT_EQ(bCheckPW("carl", "pw"), 1);
  }
}

void MakeOther(FaultLoop* t) { ASSERT_TRUE(fs::create_directories(t->other_)); }
long Setup(FaultLoop* t) { return bSetupMHSDirs(t->other_.c_str()); }
void SetUpOther(FaultLoop* t, long rc) {
  if (rc == 1) {
    EXPECT_EQ(isVeskMsgDir(t->other_.c_str()), 1);
  }
}

// A send's thousands of runs with every allocation failing from then on
// outlast the test's time under the sanitizers.

const FaultLoop::Op kOps[] = {
    {"send", Nothing, SendThree, Sent, 1},
    {"send documents", Nothing, SendDocuments, Sent, 1},
    {"list", Put, List, Listed, 2},
    {"read", Put, ReadMarked, Marked, 2},
    {"delete", Put, Delete, Deleted, 2},
    {"add user", Nothing, AddEve, AddedEve, 2},
    {"remove user", Nothing, RemoveDave, RemovedDave, 2},
    {"set password", Nothing, Repassword, Repassworded, 2},
    {"setup", MakeOther, Setup, SetUpOther, 2},
};

class FaultLoopEach : public FaultLoop, public ::testing::WithParamInterface<size_t> {};

TEST_P(FaultLoopEach, EndsCleanAndTrue) { Loop(kOps[GetParam()]); }

INSTANTIATE_TEST_SUITE_P(Operations, FaultLoopEach, ::testing::Range<size_t>(0, sizeof kOps / sizeof kOps[0]),
                         [](const ::testing::TestParamInfo<size_t>& i) {
                           std::string name = kOps[i.param].name;
                           for (char& c : name) c = c == ' ' ? '_' : c;
                           return name;
                         });

}  // namespace
