// A send killed outright at each of its file steps in turn, played by a
// forked child that the fault hook kills: whatever a kill leaves behind,
// every recipient holds the whole message with both parcels or nothing of
// it, listings pass over the debris, and the tree check's repair leaves a
// tree that a second check finds clean, with the delivered mail untouched.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/fault.h"
#include "send/check.h"
#include "support/mail_tree.h"

namespace {

namespace fs = std::filesystem;
using vktest::Attach;
using vktest::To;

const char* const kRecipients[] = {"ann", "carl", "dave", "eve", "fred"};

// Hundreds of sends: on a memory file system their flushes cost nothing.
struct OnMemoryDisk {
  vktest::ScopedEnv tmp{"TMPDIR", fs::is_directory("/dev/shm") ? "/dev/shm" : std::getenv("TMPDIR")};
};

class Crash : private OnMemoryDisk, public vktest::MailTreeTest {
 protected:
  void SetUp() override {
    Users users = {{"bob", "pw"}};
    for (const char* r : kRecipients) users.push_back({r, "pw"});
    ASSERT_NO_FATAL_FAILURE(MakeTree(users));
    for (const char* r : kRecipients) to_.push_back(To(r));
    a_ = std::string(3000, 'a') + "end of a";
    b_ = std::string(9000, 'b') + "end of b";
    paths_ = {Source("a.txt", a_), Source("b.txt", b_)};
    at_ = {Attach(paths_[0], "a.txt"), Attach(paths_[1], "b.txt")};
    m_ = vktest::Message(to_, &at_, "crash", "the body of the message");
  }

  // Logs on as each recipient: the listing succeeds and shows every file
  // of the mailbox, each message read back whole with both parcels.  How
  // many hold the message.
  int Holders() {
    int holders = 0;
    for (const char* user : kRecipients) {
      SCOPED_TRACE(user);
      EXPECT_EQ(LogOnAs(user, "pw"), CMC_SUCCESS);
      const vktest::Listing listed = List();
      EXPECT_EQ(listed.code, CMC_SUCCESS);
      EXPECT_EQ(listed.items.size(), CountFiles(Mailbox(user))) << "a file that is no whole message is visible";
      EXPECT_LE(listed.items.size(), 1u);
      for (const vktest::Listed& item : listed.items) {
        const vktest::ReadResult r = ReadMessage(item.reference, CMC_DO_NOT_MARK_AS_READ);
        EXPECT_EQ(r.code, CMC_SUCCESS);
        EXPECT_EQ(r.subject, "crash");
        EXPECT_EQ(r.text.rfind("the body of the message", 0), 0u) << r.text;
        EXPECT_EQ(r.attachments.size(), 2u);
        for (size_t i = 0; i < r.attachments.size() && i < 2; ++i)
          EXPECT_EQ(Read(r.attachments[i].filename), i ? b_ : a_);
        ++holders;
      }
      EXPECT_EQ(LogOff(), CMC_SUCCESS);
    }
    return holders;
  }

  static size_t Entries(const fs::path& dir) { return std::distance(fs::directory_iterator(dir), {}); }

  // Ages the whole tree past the check's patience, repairs it, checks it
  // again, and empties the mailboxes for the next send.
  void RepairAndReset(int holders) {
    const auto old = fs::file_time_type::clock::now() - std::chrono::seconds(vk::kStaleSeconds + 60);
    for (const auto& e : fs::recursive_directory_iterator(Mail())) fs::last_write_time(e.path(), old);
    std::string found;
    auto note = [](void* c, const char* kind, const char* path, int, int) {
      *static_cast<std::string*>(c) += std::string(kind) + ": " + path + "\n";
    };
    unsigned long totals[5] = {};
    EXPECT_EQ(vk_check_tree(Mail().c_str(), 1, note, nullptr, &found, totals), 0);
    EXPECT_EQ(totals[3] + totals[4], 0u) << "failed or reported only:\n" << found;
    found.clear();
    EXPECT_EQ(vk_check_tree(Mail().c_str(), 0, note, nullptr, &found, totals), 0);
    EXPECT_EQ(totals[1], 0u) << "left after the repair:\n" << found;
    // Seen without the check's eyes: nothing but the messages and their parcels.
    EXPECT_EQ(Entries(MailDir("SND")) + Entries(MailDir("PARCEL")), 0u);
    size_t messages = 0;
    for (const char* user : kRecipients) {
      messages += CountFiles(Mailbox(user));
      EXPECT_EQ(Entries(Mailbox(user)), CountFiles(Mailbox(user))) << user;
      EXPECT_EQ(Entries(Parcels(user)), 2 * CountFiles(Mailbox(user))) << user;
      for (const fs::path& dir : {Mailbox(user), Parcels(user)}) {
        for (const auto& e : fs::directory_iterator(dir)) fs::remove_all(e.path());
      }
    }
    EXPECT_EQ(messages, static_cast<size_t>(holders)) << "the repair took delivered mail";
  }

  std::vector<CMC_recipient> to_;
  std::vector<CMC_attachment> at_;
  std::vector<std::string> paths_;
  std::string a_, b_;
  CMC_message m_{};
};

TEST_F(Crash, KilledAtEveryStepOfASend) {
  ASSERT_EQ(LogOnAs("bob", "pw"), CMC_SUCCESS);
  vk::PlatFaultExitAt(0);
  ASSERT_EQ(Send(&m_), CMC_SUCCESS);
  const long steps = vk::PlatFaultSteps();
  ASSERT_EQ(LogOff(), CMC_SUCCESS);
  ASSERT_EQ(Holders(), 5);
  ASSERT_NO_FATAL_FAILURE(RepairAndReset(5));

  // Under the sanitizers every step would take minutes: every third does.
#if defined(__SANITIZE_ADDRESS__)
  constexpr long kStride = 3;
#else
  constexpr long kStride = 1;
#endif
  std::vector<long> kills;
  for (long k = 1; k < steps; k += kStride) kills.push_back(k);
  kills.push_back(steps);
  kills.push_back(steps + 1);  // no kill: the count was right
  int before = 0;
  for (long k : kills) {
    SCOPED_TRACE("killed at step " + std::to_string(k) + " of " + std::to_string(steps));
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
      if (LogOnAs("bob", "pw") != CMC_SUCCESS) _exit(2);
      vk::PlatFaultExitAt(k);
      _exit(Send(&m_) == CMC_SUCCESS ? 0 : 3);
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    if (k <= steps) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "wait status " << status;
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    }
    const int holders = Holders();
    EXPECT_GE(holders, before) << "a later kill delivered to fewer";
    RepairAndReset(before = holders);
    if (HasFailure()) return;
  }
  EXPECT_EQ(before, 5);
}

}  // namespace
#endif
