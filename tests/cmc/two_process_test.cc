// Workstations sharing one mail tree, played by processes (POSIX: fork).
// Each child is a workstation of its own: its own profile, its own logon
// through the login dialog, the public calls only.  Every case runs on a
// local disk and on a real SMB share, where the two workstations reach the
// tree through two mounts (two clients of one server, as two PCs on one
// network drive); the share cases run under scripts/with-share.
// VKMSG_STRESS=1 runs the crowded cases at full size: 500 messages of up
// to 1 MiB from each sender; by default they are cut to what CI waits for.
#ifndef _WIN32
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/profile.h"
#include "read/read.h"
#include "store/config.h"
#include "users/registry.h"
#include "support/mail_tree.h"
#include "support/test_support.h"
#include "vkmsg/vkmsg.h"

namespace {

namespace fs = std::filesystem;

constexpr CMC_uint32 kPage = 100;
const bool kStress = std::getenv("VKMSG_STRESS") != nullptr && std::string(std::getenv("VKMSG_STRESS")) == "1";
// A guard against a hang, not a speed goal.
const auto kPatience = std::chrono::seconds(kStress ? 3600 : 240);

// A failing child says why on stderr and exits non-zero.
bool Complain(const char* who, const std::string& what) {
  std::fprintf(stderr, "[%s] %s\n", who, what.c_str());
  return false;
}

using vktest::RefBytes;

std::string SubjectOf(const std::string& sender, int i) { return sender + "-" + std::to_string(1000 + i); }

uint64_t Fnv(const std::string& s) {
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
  return h;
}

// Printable lines of `size` bytes, the same for the same seed.
std::string Text(const std::string& seed, size_t size) {
  std::string t = seed;
  for (uint64_t x = Fnv(seed); t.size() < size;) {
    x = x * 6364136223846793005ull + 1442695040888963407ull;
    if ((x >> 57) == 0) t += "\r\n";
    t += static_cast<char>(' ' + (x >> 33) % 95);
  }
  return t.substr(0, size);
}

// 1 KiB to 256 KiB (with stress 1 MiB), most of them small.
size_t SizeFor(const std::string& subject) {
  const uint64_t h = Fnv(subject);
  const size_t top = size_t{2048} << (h % (kStress ? 10 : 8));
  return top / 2 + (h >> 8) % (top / 2);
}

// What a sender logs of a message it sent and a reader of one it got.
std::string LogLine(const std::string& subject, const std::string& text, const std::string& attached) {
  return subject + " " + std::to_string(Fnv(text)) + " " + std::to_string(Fnv(attached)) + "\n";
}

std::multiset<std::string> LogLines(const std::string& path) {
  std::multiset<std::string> lines;
  const std::string all = vktest::ReadWholeFile(path);
  for (size_t at = 0, end; (end = all.find('\n', at)) != std::string::npos; at = end + 1)
    lines.insert(all.substr(at, end + 1 - at));
  return lines;
}

class Workstation {
 public:
  Workstation(const std::string& profile, const std::string& user) {
    vk::UnloadConfig();  // the parent's
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

  // With the file `attachment` unless it is empty.
  CMC_return_code Send(const std::string& to, const std::string& subject, const std::string& body,
                       const std::string& attachment = "") {
    std::string addr = to, subj = subject, text = body;
    std::vector<CMC_recipient> r = {vktest::To(&addr[0], CMC_ROLE_TO, &addr[0])};
    std::vector<CMC_attachment> a;
    if (!attachment.empty()) a.push_back(vktest::Attach(attachment, "a.txt"));
    CMC_message m = vktest::Message(r, &a, &subj[0], &text[0]);
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

  // Marks it read; *attachment: the path of the first one, or "".
  CMC_return_code Read(const std::string& ref, std::string* subject, std::string* body, std::string* attachment) {
    std::vector<char> b = RefBytes(ref);
    CMC_message* m = nullptr;
    CMC_return_code r = cmc_read(session_, reinterpret_cast<CMC_message_reference*>(b.data()), 0, &m, 0, nullptr);
    if (r == CMC_SUCCESS && m) {
      *subject = m->subject ? m->subject : "";
      *body = m->text_note ? m->text_note : "";
      *attachment = m->attachments && m->attachments->attach_filename ? m->attachments->attach_filename : "";
    }
    if (m) cmc_free(m);
    return r;
  }

  CMC_return_code Delete(const std::string& ref) {
    std::vector<char> b = RefBytes(ref);
    return cmc_act_on(session_, reinterpret_cast<CMC_message_reference*>(b.data()), CMC_ACT_ON_DELETE, 0, 0, nullptr);
  }

 private:
  vktest::LoginDriver login_;
  CMC_session_id session_ = 0;
};

// Runs each body in a child process of its own at once; the last one
// watches the others, which have all ended once the file `done` appears.
// The exit codes, in order (-1 for a child that did not exit normally).
std::vector<int> RunChildren(const std::vector<std::function<bool()>>& bodies, const std::string& done) {
  std::vector<pid_t> pids;
  for (const auto& body : bodies) {
    std::fflush(nullptr);
    pid_t pid = fork();
    // A throw ends the child there: it never goes back into the test program.
    if (pid == 0) _exit([&]() noexcept { return body() ? 0 : 1; }());
    pids.push_back(pid);
  }
  std::vector<int> codes;
  for (size_t i = 0; i < pids.size(); ++i) {
    if (i + 1 == pids.size()) vktest::WriteWholeFile(done, "done");
    int status = 0;
    const bool exited = pids[i] > 0 && waitpid(pids[i], &status, 0) == pids[i] && WIFEXITED(status);
    codes.push_back(exited ? WEXITSTATUS(status) : -1);
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

// Eight senders on one machine (two workstations on the share) fill one
// mailbox while its owner lists, reads and deletes all the time: each
// message arrives once, whole, and as it was sent (the senders log what they
// sent, the reader what it got); nothing stays.
TEST_P(Workstations, SendersFillOneMailboxWhileItIsEmptied) {
  const int kSenders = GetParam() == Medium::kShare ? 2 : 8;
  const int each = kStress ? 500 : 40;
  const std::string done = dir_.Join("done"), received = dir_.Join("received");
  std::vector<std::function<bool()>> children;
  for (int k = 0; k < kSenders; ++k) {
    const std::string tag = "s" + std::to_string(k), user = k % 2 ? "carl" : "bob", ini = Ini(k % 2 ? 'b' : 'a');
    const std::string log = dir_.Join("sent-" + tag), source = dir_.Join("attached-" + tag);
    children.push_back([=] {
      Workstation w(ini, user);
      if (w.LogOn() != CMC_SUCCESS) return Complain(tag.c_str(), "logon failed");
      FILE* out = std::fopen(log.c_str(), "w");
      for (int i = 0; out != nullptr && i < each; ++i) {
        // Every third message carries half its bytes in an attachment.
        const std::string subject = SubjectOf(tag, i);
        const size_t size = SizeFor(subject), part = i % 3 ? 0 : size / 2;
        const std::string text = Text(subject, size - part), attached = part ? Text(subject + "+", part) : "";
        if (part && !vktest::WriteWholeFile(source, attached)) return Complain(tag.c_str(), "no attachment");
        const CMC_return_code r = w.Send("ann", subject, text, part ? source : "");
        if (r != CMC_SUCCESS) return Complain(tag.c_str(), subject + " answered " + std::to_string(r));
        std::fputs(LogLine(subject, text, attached).c_str(), out);
      }
      return out != nullptr && std::fclose(out) == 0;
    });
  }
  children.push_back([&] {
    Workstation ann(Ini('b'), "ann");
    if (ann.LogOn() != CMC_SUCCESS) return Complain("ann", "logon failed");
    FILE* out = std::fopen(received.c_str(), "w");
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    for (bool last = false; out != nullptr && !last;) {
      last = vktest::FileExists(done);
      std::vector<Workstation::Summary> listed;
      CMC_return_code r = ann.ListAll(&listed);
      if (r != CMC_SUCCESS) return Complain("ann", "list answered " + std::to_string(r) + " while mail arrived");
      last = last && listed.empty();
      for (const auto& s : listed) {
        if (s.subject.empty() || !s.has_date || !s.has_from) return Complain("ann", "listed incomplete: " + s.ref);
        // The body as the file holds it; the read hands out its start.
        const std::string file = vktest::ReadWholeFile(s.ref);
        const size_t at = file.find("\r\n\r\n");
        const std::string body = at == std::string::npos ? "" : file.substr(at + 4);
        std::string subject, text, attachment;
        r = ann.Read(s.ref, &subject, &text, &attachment);
        if (r != CMC_SUCCESS || subject != s.subject || text != body.substr(0, vk::kBodyMax))
          return Complain("ann", "read back otherwise than listed and stored: " + s.ref + " '" + subject + "'");
        const std::string attached = attachment.empty() ? "" : vktest::ReadWholeFile(attachment);
        if (ann.Delete(s.ref) != CMC_SUCCESS || vktest::FileExists(s.ref + ".red"))
          return Complain("ann", "delete failed: " + s.ref);
        const bool ended = body.size() >= 2 && body.compare(body.size() - 2, 2, "\r\n") == 0;
        std::fputs(LogLine(subject, body.substr(0, body.size() - (ended ? 2 : 0)), attached).c_str(), out);
      }
      if (std::chrono::steady_clock::now() > deadline) return Complain("ann", "the senders never finished");
    }
    return out != nullptr && std::fclose(out) == 0;
  });
  EXPECT_EQ(RunChildren(children, done), std::vector<int>(kSenders + 1, 0));

  std::multiset<std::string> sent, got = LogLines(received);
  for (int k = 0; k < kSenders; ++k) {
    for (const std::string& line : LogLines(dir_.Join("sent-s" + std::to_string(k)))) sent.insert(line);
  }
  EXPECT_EQ(sent.size(), static_cast<size_t>(kSenders * each));
  std::vector<std::string> lost, extra;
  std::set_difference(sent.begin(), sent.end(), got.begin(), got.end(), std::back_inserter(lost));
  std::set_difference(got.begin(), got.end(), sent.begin(), sent.end(), std::back_inserter(extra));
  EXPECT_TRUE(lost.empty()) << lost.size() << " lost or changed, the first: " << lost[0];
  EXPECT_TRUE(extra.empty()) << extra.size() << " duplicated or changed, the first: " << extra[0];
  for (const char* dir : {"USERS/ann/MHS", "USERS/ann/IPARCEL", "SND", "PARCEL"})
    EXPECT_TRUE(fs::is_empty(MailDir('a') + dir)) << dir;
}

// Eight administrators on one machine (two workstations on the share)
// register users, removing every second one again and giving the others a
// new password, while another process checks the passwords of the users
// there all along: none is ever refused, and passwd ends with exactly the
// users kept.  Not with the checks on the share: a checker that holds passwd
// open nearly all the time makes the writers give up there, since the share
// refuses to replace a file another client holds open.
TEST_P(Workstations, AdministratorsWhilePasswordsAreChecked) {
  const bool share = GetParam() == Medium::kShare;
  const int kAdmins = share ? 2 : 8, kEach = 50;
  auto name = [](int k, int i) { return std::string("w") + static_cast<char>('a' + k) + std::to_string(100 + i); };
  auto fresh = [](const std::string& ini) {
    vk::UnloadConfig();
    vk::PlatSetWorkstationProfile(ini.c_str());
  };
  const std::string done = dir_.Join("done");
  std::vector<std::function<bool()>> children;
  for (int k = 0; k < kAdmins; ++k) {
    const std::string ini = Ini(k % 2 ? 'b' : 'a');
    children.push_back([=] {
      fresh(ini);
      for (int i = 0; i < kEach; ++i) {
        if (bAddUser(name(k, i).c_str(), i % 2 ? "old" : "pw") != 1)
          return Complain(ini.c_str(), "adding " + name(k, i) + " failed");
        if (i % 2 && (bRemUser(name(k, i - 1).c_str()) != 1 || bAddUser(name(k, i).c_str(), "pw") != 1))
          return Complain(ini.c_str(), "removing " + name(k, i - 1) + " or re-passwording " + name(k, i) + " failed");
      }
      return true;
    });
  }
  if (!share)
    children.push_back([&] {
      fresh(Ini('b'));
      for (bool last = false; !last;) {
        last = vktest::FileExists(done);
        for (const char* user : {"ann", "bob", "carl"}) {
          if (bCheckPW(user, (std::string(user) + "-pw").c_str()) != 1) return Complain(user, "refused");
        }
      }
      return true;
    });
  EXPECT_EQ(RunChildren(children, done), std::vector<int>(children.size(), 0));

  vk::RefreshCachedUserList();  // this process's list predates the children
  NameList* users = lpmnlGetUserList(0);
  ASSERT_NE(users, nullptr);
  const std::set<std::string> got(users->slots, users->slots + users->count);
  vk_free_name_list(users);
  std::set<std::string> want = {"ann", "bob", "carl"};
  for (int k = 0; k < kAdmins; ++k) {
    for (int i = 0; i < kEach; ++i) {
      if (i % 2) want.insert(name(k, i));
      EXPECT_EQ(bCheckPW(name(k, i).c_str(), "pw"), i % 2) << name(k, i);
      EXPECT_EQ(fs::is_directory(MailDir('a') + "USERS/" + name(k, i)), i % 2 == 1) << name(k, i);
    }
  }
  EXPECT_EQ(got, want);
}

// An SMB client replaces passwd by a delete and a rename: a check while it
// is missing waits for it rather than refusing a registered user.
TEST_P(Workstations, CheckWhilePasswdIsReplaced) {
  if (GetParam() == Medium::kShare) GTEST_SKIP() << "the local disk plays that client";
  const std::string passwd = MailDir('a') + "PUBLIC/passwd", aside = passwd + ".aside";
  ASSERT_EQ(std::rename(passwd.c_str(), aside.c_str()), 0);
  std::thread back([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::rename(aside.c_str(), passwd.c_str());
  });
  EXPECT_EQ(bCheckPW("ann", "ann-pw"), 1);
  back.join();
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
