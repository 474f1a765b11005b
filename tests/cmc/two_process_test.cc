// Workstations sharing one mail tree, played by processes (POSIX: fork).
// Each child is a workstation of its own: its own profile, its own logon
// through the login dialog, the public calls only.  Every case runs on a
// local disk and on a real SMB share, where the two workstations reach the
// tree through two mounts (two clients of one server, as two PCs on one
// network drive); the share cases run under scripts/with-share.
#ifndef _WIN32
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/profile.h"
#include "store/config.h"
#include "users/registry.h"
#include "support/mail_tree.h"
#include "support/test_support.h"
#include "vkmsg/vkmsg.h"

namespace {

namespace fs = std::filesystem;

constexpr CMC_uint32 kPage = 100;
// A guard against a hang, not a speed goal.
constexpr auto kPatience = std::chrono::seconds(120);

// A failing child says why on stderr and exits non-zero.
bool Complain(const char* who, const std::string& what) {
  std::fprintf(stderr, "[%s] %s\n", who, what.c_str());
  return false;
}

using vktest::RefBytes;

std::string SubjectOf(const std::string& sender, int i) { return sender + "-" + std::to_string(1000 + i); }

// The body is long enough that a copy caught half-way would show.
std::string BodyFor(const std::string& subject) {
  std::string body;
  for (int i = 0; i < 40; ++i) body += subject + " line " + std::to_string(i) + " of the message text\r\n";
  return body;
}

class Workstation {
 public:
  Workstation(const std::string& profile, const std::string& user) {
    vk::PlatSetWorkstationProfile(profile.c_str());
    login_.AnswerAs(user, user + "-pw");
    login_.Install();
  }
  ~Workstation() {
    if (session_) cmc_logoff(session_, 0, 0, nullptr);
    vktest::LoginDriver::Remove();
  }
  CMC_return_code LogOn() {
    return cmc_logon(nullptr, nullptr, nullptr, nullptr, 0, CMC_VERSION, 0, &session_, nullptr);
  }

  CMC_return_code Send(const std::string& to, const std::string& subject, const std::string& body) {
    std::string addr = to, subj = subject, text = body;
    CMC_recipient r{};
    r.name = &addr[0];
    r.address = &addr[0];
    r.recip_flags = CMC_RECIP_LAST_ELEMENT;
    CMC_message m{};
    m.subject = &subj[0];
    m.text_note = &text[0];
    m.recipients = &r;
    m.message_flags = CMC_MSG_LAST_ELEMENT;
    return cmc_send(session_, &m, 0, 0, nullptr);
  }

  struct Summary {
    std::string ref;
    std::string subject;
    bool has_from = false;
    bool has_date = false;
  };

  // The whole mailbox, a page at a time (one result block holds only so
  // many summaries); the seed of each page is the last message of the one
  // before, listed again.
  CMC_return_code ListAll(std::vector<Summary>* out) {
    out->clear();
    std::string seed;
    for (;;) {
      std::vector<char> seed_ref = RefBytes(seed);
      CMC_message_reference* s = seed.empty() ? nullptr : reinterpret_cast<CMC_message_reference*>(seed_ref.data());
      CMC_uint32 remaining = 0;
      CMC_return_code r = cmc_list(session_, nullptr, CMC_LIST_COUNT_ONLY, s, &remaining, 0, nullptr, nullptr);
      if (r != CMC_SUCCESS || remaining == 0) return r;
      CMC_uint32 count = remaining < kPage ? remaining : kPage;
      CMC_message_summary* sums = nullptr;
      r = cmc_list(session_, nullptr, 0, s, &count, 0, &sums, nullptr);
      std::string last;
      for (CMC_uint32 i = 0; sums && i < count; ++i) {
        Summary one;
        one.ref.assign(sums[i].message_reference->string, sums[i].message_reference->length);
        last = one.ref;
        if (!seed.empty() && i == 0 && one.ref == seed) continue;
        one.subject = sums[i].subject ? sums[i].subject : "";
        one.has_from = sums[i].originator != nullptr && sums[i].originator->name != nullptr;
        one.has_date = sums[i].time_sent.day != 0;
        out->push_back(one);
      }
      if (sums) cmc_free(sums);
      // The seed's message was read or deleted meanwhile: this listing is
      // as far as it goes.
      if (r != CMC_SUCCESS || remaining <= kPage || last.empty() || last == seed) return r;
      seed = last;
    }
  }

  CMC_return_code Read(const std::string& ref, CMC_flags flags, std::string* subject, std::string* body) {
    std::vector<char> b = RefBytes(ref);
    CMC_message* m = nullptr;
    CMC_return_code r = cmc_read(session_, reinterpret_cast<CMC_message_reference*>(b.data()), flags, &m, 0, nullptr);
    if (r == CMC_SUCCESS && m) {
      *subject = m->subject ? m->subject : "";
      *body = m->text_note ? m->text_note : "";
    }
    if (m) cmc_free(m);
    return r;
  }

 private:
  vktest::LoginDriver login_;
  CMC_session_id session_ = 0;
};

// Runs each body in a child process of its own at once; the exit codes,
// in order (-1 for a child that did not exit normally).
std::vector<int> RunChildren(const std::vector<std::function<bool()>>& bodies) {
  std::vector<pid_t> pids;
  for (const auto& body : bodies) {
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) _exit(body() ? 0 : 1);
    pids.push_back(pid);
  }
  std::vector<int> codes;
  for (pid_t pid : pids) {
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
      codes.push_back(-1);
    } else {
      codes.push_back(WEXITSTATUS(status));
    }
  }
  return codes;
}

enum class Medium { kLocalDisk, kShare };
void PrintTo(Medium m, std::ostream* os) { *os << (m == Medium::kShare ? "share" : "local disk"); }

// A tree set up from workstation A, with the users given; workstation B
// knows it from its own profile.  On the share, A and B reach it through
// different mounts.
class Workstations : public ::testing::TestWithParam<Medium> {
 protected:
  void SetUp() override {
    if (GetParam() == Medium::kShare) {
      const char* a = std::getenv("VKMSG_SHARE_A");
      const char* b = std::getenv("VKMSG_SHARE_B");
      if (a == nullptr || b == nullptr) GTEST_SKIP() << "no share here (scripts/with-share provides one)";
      const std::string name = "tree-" + std::to_string(getpid()) + "-" + std::to_string(++trees_);
      root_a_ = std::string(a) + "/" + name;
      root_b_ = std::string(b) + "/" + name;
    } else {
      root_a_ = root_b_ = dir_.Join("tree");
    }
    ASSERT_TRUE(fs::create_directory(root_a_));
    vk::PlatSetWorkstationProfile(Ini('a').c_str());
    ASSERT_EQ(bSetupMHSDirs(root_a_.c_str()), 1);
    for (const char* user : {"ann", "bob", "carl"}) ASSERT_EQ(bAddUser(user, (std::string(user) + "-pw").c_str()), 1);
    ASSERT_TRUE(vk::PlatWriteProfileString(Ini('b').c_str(), "Mail", "VeskMailPath", (root_b_ + "/MHS/MAIL/").c_str()));
  }
  void TearDown() override {
    vk::UnloadConfig();
    vk::PlatSetWorkstationProfile(nullptr);
    std::error_code ignored;
    if (GetParam() == Medium::kShare && !root_a_.empty()) fs::remove_all(root_a_, ignored);
  }

  // The profile of workstation 'a' or 'b'.
  std::string Ini(char station) const { return dir_.Join(std::string("win-") + station + ".ini"); }
  std::string MailDir(char station) const { return (station == 'a' ? root_a_ : root_b_) + "/MHS/MAIL/"; }

  static int trees_;
  vktest::ScratchDir dir_;
  std::string root_a_, root_b_;
};
int Workstations::trees_ = 0;

INSTANTIATE_TEST_SUITE_P(Media, Workstations, ::testing::Values(Medium::kLocalDisk, Medium::kShare),
                         [](const ::testing::TestParamInfo<Medium>& i) {
                           return i.param == Medium::kShare ? "Share" : "LocalDisk";
                         });

TEST_P(Workstations, TwoSendersFillOneMailboxWhileItIsListed) {
  constexpr int kEach = 300;
  const std::string done_flag = dir_.Join("senders-done");
  const std::string ann_ini = Ini('b');
  std::vector<std::function<bool()>> senders;
  for (const char* who : {"bob", "carl"}) {
    const std::string user = who, ini = Ini(user == "bob" ? 'a' : 'b');
    senders.push_back([user, ini] {
      Workstation w(ini, user);
      if (w.LogOn() != CMC_SUCCESS) return Complain(user.c_str(), "logon failed");
      for (int i = 0; i < kEach; ++i) {
        CMC_return_code r = w.Send("ann", SubjectOf(user, i), BodyFor(SubjectOf(user, i)));
        if (r != CMC_SUCCESS) return Complain(user.c_str(), SubjectOf(user, i) + " answered " + std::to_string(r));
      }
      return true;
    });
  }
  // ann lists over and over while the senders work; every message she sees
  // must be whole, in the listing and when read back.
  auto lister = [&] {
    Workstation ann(ann_ini, "ann");
    if (ann.LogOn() != CMC_SUCCESS) return Complain("ann", "logon failed");
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    std::set<std::string> checked;  // references read back already
    for (;;) {
      const bool last_pass = vktest::FileExists(done_flag);
      std::vector<Workstation::Summary> listed;
      CMC_return_code r = ann.ListAll(&listed);
      if (r != CMC_SUCCESS) return Complain("ann", "list answered " + std::to_string(r) + " while mail arrived");
      for (const auto& s : listed) {
        if (s.subject.empty() || !s.has_date || !s.has_from)
          return Complain("ann", "listed incomplete: " + s.ref + " subject '" + s.subject + "'");
        if (!checked.insert(s.ref).second) continue;
        std::string subject, body;
        r = ann.Read(s.ref, CMC_DO_NOT_MARK_AS_READ, &subject, &body);
        if (r != CMC_SUCCESS) return Complain("ann", "read of a listed message answered " + std::to_string(r));
        if (subject != s.subject || body.rfind(BodyFor(subject), 0) != 0)
          return Complain("ann", "read back incomplete: " + s.ref + " '" + subject + "'");
      }
      if (last_pass) {
        std::multiset<std::string> got, want;
        for (const auto& s : listed) got.insert(s.subject);
        for (const char* who : {"bob", "carl"}) {
          for (int i = 0; i < kEach; ++i) want.insert(SubjectOf(who, i));
        }
        if (got != want) return Complain("ann", "found " + std::to_string(listed.size()) + " messages, not each once");
        return true;
      }
      if (std::chrono::steady_clock::now() > deadline) return Complain("ann", "the senders never finished");
    }
  };

  // The lister runs beside the senders; the flag tells it when they are done.
  std::fflush(nullptr);
  pid_t lister_pid = fork();
  if (lister_pid == 0) _exit(lister() ? 0 : 1);
  ASSERT_GT(lister_pid, 0);
  std::vector<int> codes = RunChildren(senders);
  vktest::WriteWholeFile(done_flag, "done");
  int status = 0;
  ASSERT_EQ(waitpid(lister_pid, &status, 0), lister_pid);
  EXPECT_EQ(codes, (std::vector<int>{0, 0}));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  for (const auto& e : fs::directory_iterator(MailDir('a') + "USERS/ann/MHS"))
    EXPECT_NE(e.path().extension(), ".tmp") << "left behind: " << e.path();
}

// Both workstations register users and change their passwords at once.
TEST_P(Workstations, TwoAdministratorsAddUsersAtOnce) {
  constexpr int kEach = 100;
  auto name = [](char station, int i) { return std::string("w") + station + std::to_string(1000 + i); };
  std::vector<std::function<bool()>> admins;
  for (char station : {'a', 'b'}) {
    const std::string ini = Ini(station);
    admins.push_back([=] {
      vk::UnloadConfig();
      vk::PlatSetWorkstationProfile(ini.c_str());
      for (const char* password : {"first", "second"}) {
        for (int i = 0; i < kEach; ++i) {
          if (bAddUser(name(station, i).c_str(), password) != 1)
            return Complain(ini.c_str(), "adding " + name(station, i) + " failed");
        }
      }
      return true;
    });
  }
  EXPECT_EQ(RunChildren(admins), (std::vector<int>{0, 0}));

  vk::RefreshCachedUserList();  // this process's list predates the children
  NameList* users = lpmnlGetUserList(0);
  ASSERT_NE(users, nullptr);
  EXPECT_EQ(users->count, 3u + 2 * kEach);
  vk_free_name_list(users);
  for (char station : {'a', 'b'}) {
    for (int i = 0; i < kEach; ++i) {
      EXPECT_EQ(bCheckPW(name(station, i).c_str(), "second"), 1) << name(station, i);
      EXPECT_TRUE(fs::is_directory(MailDir('a') + "USERS/" + name(station, i) + "/IPARCEL")) << name(station, i);
    }
  }
  EXPECT_EQ(bCheckPW("admin", "zirva"), 1);
}

// Another workstation holds passwd open (reading it, say) while users are
// added and removed: a write waits for it within a bound, or fails and
// changes nothing; it never answers success for what it did not write.
TEST_P(Workstations, RegistryWriteWhilePasswdIsOpenElsewhere) {
  struct Case {
    int hold_ms;
    bool done_on_share;  // the share refuses the replacement while it is open
  } cases[] = {{300, true}, {4000, false}};
  int n = 0;
  for (const Case& c : cases) {
    const std::string user = "held" + std::to_string(n++);
    int fd = open((MailDir('b') + "PUBLIC/passwd").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    std::thread holder([fd, &c] {
      std::this_thread::sleep_for(std::chrono::milliseconds(c.hold_ms));
      close(fd);
    });
    const int added = bAddUser(user.c_str(), "pw");
    holder.join();
    SCOPED_TRACE(user);
    if (GetParam() == Medium::kLocalDisk || c.done_on_share) {
      EXPECT_EQ(added, 1);
    }
    EXPECT_EQ(bCheckPW(user.c_str(), "pw"), added);
    EXPECT_EQ(fs::exists(MailDir('a') + "USERS/" + user), added == 1);
    if (added == 1) {
      EXPECT_EQ(bRemUser(user.c_str()), 1);
    }
  }
}

}  // namespace
#endif
