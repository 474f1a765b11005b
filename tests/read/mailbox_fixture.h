// A mail tree with the users ann and bob, ann logged on through the login
// dialog (played by a driver), and helpers that put message files into a
// mailbox and take the library's results apart.
#ifndef VKMSG_TESTS_READ_MAILBOX_FIXTURE_H
#define VKMSG_TESTS_READ_MAILBOX_FIXTURE_H

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cmc/module.h"
#include "cmc/pool.h"
#include "cmc/session.h"
#include "store/config.h"
#include "support/mail_tree.h"
#include "support/test_support.h"
#include "users/registry.h"
#include "vkmsg/cmc.h"
#include "vkmsg/vkmsg.h"

namespace readtest {

namespace fs = std::filesystem;

// The header lines (without line ends) and the body of a message file.
inline std::string MessageBytes(const std::vector<std::string>& header, const std::string& body = "") {
  std::string bytes = "SMF-71\r\n";
  for (const std::string& line : header) bytes += line + "\r\n";
  return bytes + "\r\n" + body;
}

// A header field whose long value goes on over continuation lines, as the
// reader joins them (each continuation line begins with a blank).
inline std::string Folded(const std::string& name, const std::string& value) {
  std::string line = name + ": " + value.substr(0, 70);
  for (size_t at = 70; at < value.size(); at += 70) line += "\r\n " + value.substr(at, 70);
  return line;
}

// "year-month-day hour:minute:second zone", the pieces as numbers.
inline std::string When(const CMC_time& t) {
  return std::to_string(t.year) + "-" + std::to_string(t.month) + "-" + std::to_string(t.day) + " " +
         std::to_string(t.hour) + ":" + std::to_string(t.minute) + ":" + std::to_string(t.second) + " " +
         std::to_string(t.tmzone);
}

// What a summary said, copied out before the block is freed.
struct Listed {
  std::string reference;
  std::string name;  // the file-name part of the reference
  std::string subject;
  bool has_originator = false;
  std::string originator_address;
  std::string originator_name;
  CMC_time time{};
  CMC_flags flags = 0;
};

struct Listing {
  CMC_return_code code = 0xFFFF;
  CMC_uint32 count = 0;
  bool result_null = true;
  std::vector<Listed> items;
};

class MailboxTest : public vktest::MailTreeTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(MakeTree({{"ann", "pw"}, {"bob", "pw"}}));
    login_.AnswerAs("ann", "pw");
    ASSERT_EQ(LogOn("ann", "pw"), CMC_SUCCESS);
    mailbox_ = vk::g_mail_config.user_dir;
    ASSERT_FALSE(mailbox_.empty());
    blocks_ = vk::PoolLiveBlockCount();
  }
  void TearDown() override {
    EXPECT_EQ(vk::PoolLiveBlockCount(), blocks_) << "a result block was left behind";
    CloseTree();
  }

  // The path of `name` in ann's mailbox (the mailbox path already ends in a
  // separator).
  std::string InBox(const std::string& name) const { return mailbox_ + name; }
  // The path of `name` in bob's mailbox.
  std::string InBobsBox(const std::string& name) const { return (Mailbox("bob") / name).string(); }
  void Put(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(vktest::WriteWholeFile(InBox(name), bytes)) << name;
  }
  // A plain message from carol with a subject.
  void PutMessage(const std::string& name, const std::string& subject) {
    Put(name, MessageBytes({"From: carol", "To: ann", "Subject: " + subject,
                            "Date-posted:  4-Dec-1996  9:05:07 -0500"},
                           "Hello\r\n"));
  }
  bool InBoxExists(const std::string& name) const { return vktest::FileExists(InBox(name)); }

  // A reference as the host would build it from text.
  static std::vector<char> Reference(const std::string& text) {
    std::vector<char> bytes(sizeof(CMC_uint32) + text.size() + 1 + 8, 0);
    auto* ref = reinterpret_cast<CMC_message_reference*>(bytes.data());
    ref->length = static_cast<CMC_uint32>(text.size());
    std::memcpy(ref->string, text.c_str(), text.size() + 1);
    return bytes;
  }
  static CMC_message_reference* AsRef(std::vector<char>& bytes) {
    return reinterpret_cast<CMC_message_reference*>(bytes.data());
  }

  // The count cmc_list gives, from `seed` when there is one.
  CMC_uint32 Count(CMC_uint32 maximum = 0, const std::string* seed = nullptr) {
    std::vector<char> seed_bytes = Reference(seed ? *seed : "");
    CMC_uint32 count = maximum;
    EXPECT_EQ(cmc_list(session_, nullptr, CMC_LIST_COUNT_ONLY, seed ? AsRef(seed_bytes) : nullptr, &count, 0,
                       nullptr, nullptr),
              CMC_SUCCESS);
    return count;
  }

  // cmc_list, its result copied out and freed.
  Listing List(CMC_flags flags = 0, CMC_uint32 maximum = 0, const std::string* seed = nullptr) {
    Listing out;
    std::vector<char> seed_bytes = Reference(seed ? *seed : "");
    CMC_message_summary* result = reinterpret_cast<CMC_message_summary*>(1);
    out.count = maximum;
    out.code = cmc_list(session_, nullptr, flags, seed ? AsRef(seed_bytes) : nullptr, &out.count, 0, &result, nullptr);
    out.result_null = result == nullptr;
    if (result == nullptr) return out;
    for (CMC_uint32 i = 0; i < out.count; ++i) {
      const CMC_message_summary& s = result[i];
      Listed l;
      if (s.message_reference != nullptr) {
        l.reference.assign(s.message_reference->string, s.message_reference->length);
        EXPECT_EQ(s.message_reference->string[s.message_reference->length], '\0');
        l.name = fs::path(l.reference).filename().string();
      }
      if (s.subject) l.subject = s.subject;
      if (s.originator != nullptr) {
        l.has_originator = true;
        if (s.originator->address) l.originator_address = s.originator->address;
        if (s.originator->name) l.originator_name = s.originator->name;
      }
      l.time = s.time_sent;
      l.flags = s.summary_flags;
      out.items.push_back(l);
    }
    EXPECT_EQ(cmc_free(result), CMC_SUCCESS);
    return out;
  }

  std::string mailbox_;
  int blocks_ = 0;
};

}  // namespace readtest

#endif
