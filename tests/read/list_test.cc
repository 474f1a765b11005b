// cmc_list over a real mailbox: which files are messages, the summaries,
// maximum counts and seeds, and mailboxes too big for one block.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "support/mail_tree.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using vktest::Listing;
using ListTest = vktest::MailboxTest;

TEST_F(ListTest, OddHeaderLinesAndTheReadersWindowEdge) {
  // Header lines laid out so that a CR is the reader's last byte in its
  // first window and its LF the first byte of the next.
  std::string edge = "SMF-71\r\n";
  for (int i = 0; i < 81; ++i) edge += "X-Pad: " + std::string(41, 'p') + "\r\n";
  edge += "X-Pad: " + std::string(30, 'p') + "\r\nSubject: edge\r\n\r\n";
  ASSERT_EQ(edge[4095], '\r');
  const std::string subject(141, 's');
  const std::pair<std::string, std::string> cases[] = {
      {edge, "edge"},
      {"SMF-71\r\nsubject: low\r\nX-Other: v\r\n continued: x\r\nno colon\r\nSubject : blank\r\n\r\n", "low"},
      {"SMF-71\r\nSubject:\r\n bob\r\n\r\n", ""},  // continuations only after a value
      {"SMF-71\r\nSubject: \r\n bob\r\n\r\n", "bob"},
      {"SMF-71\r\nSubject: a, \r\n\tb", "a, b"},                                   // the last line without its line end
      {"SMF-71\r\nSubject: " + subject + "\r\n\r\n", subject},                     // longer than a line buffer
      {"SMF-71\r\nX-Pad: " + subject.substr(0, 89) + "Subject: eve\r\n\r\n", ""},  // nor its rest a field
  };
  for (const auto& c : cases) {
    Put("KWZ0001", c.first);
    Listing l = List();
    ASSERT_EQ(l.count, 1u);
    EXPECT_EQ(l.items[0].subject, c.second);
    // The read that follows a listing reads the same header.
    vktest::ReadResult r = ReadMessage(l.items[0].reference, CMC_DO_NOT_MARK_AS_READ);
    EXPECT_EQ(r.code, CMC_SUCCESS);
    EXPECT_EQ(r.subject, c.second);
  }
}

TEST_F(ListTest, AMailboxTooBigForOneBlockIsListedInParts) {
  // Every summary carries about a kilobyte, so far fewer than all fit.
  const std::string subject(500, 's');
  const std::string from = std::string(400, 'f') + "@example.org";
  for (int i = 0; i < 200; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "KWZ%04x", i);
    Put(name, vktest::MessageBytes({vktest::Folded("From", from), vktest::Folded("Subject", subject)}));
  }
  EXPECT_EQ(Count(), 200u);
  std::set<std::string> seen;
  for (std::string seed;;) {
    Listing part = List(0, 0, seed.empty() ? nullptr : &seed);
    ASSERT_TRUE(part.code == CMC_SUCCESS && part.count > 0 && part.count < 200u);
    EXPECT_EQ(part.items.back().subject + part.items.back().originator_address, subject + from);
    for (const auto& item : part.items) seen.insert(item.name);
    if (part.items.back().reference == seed) break;
    seed = part.items.back().reference;
  }
  EXPECT_EQ(seen.size(), 200u);
}

TEST_F(ListTest, HostileEntriesAreSkippedOrListedAndNeverHideOthers) {
  std::vector<std::string> many(10000, "X-H: v");
  many.push_back("Subject: many");
  struct Entry {
    const char* name;
    std::string bytes;
    const char* subject;  // null: not listed
  };
  const Entry entries[] = {
      {"KWZ0001", vktest::MessageBytes({"Subject: one"}), "one"},
      {"KWZ0003.red", vktest::MessageBytes({"Subject: read"}), "read*"},  // * marks read
      {"KWZ0007.tmp", vktest::MessageBytes({"Subject: still being delivered"}), nullptr},
      {"KWZ0008.red.tmp", vktest::MessageBytes({"Subject: neither"}), nullptr},
      {".red", vktest::MessageBytes({"Subject: no base name"}), nullptr},
      {"KWZ0002", "SMF-71\r\nSubj", ""},                         // truncated
      {"KWZ0003", "", nullptr},                                  // empty
      {"KWZ0004", std::string(3000, '\0') + "\xff\r:\x8f", ""},  // binary
      {"KWZ0005", "SMF-71\r\nX-L: " + std::string(100000, 'x') + "\r\nSubject: long\r\n\r\n", "long"},
      {"KWZ0006", vktest::MessageBytes(many), "many"},
      {"desktop.ini", "[.ShellClassInfo]\r\n", nullptr},
      {"KWZ12AB", vktest::MessageBytes({"Subject: upper"}), "upper"},
#ifndef _WIN32  // two names that differ in case are two files here
      {"kwz12ab", vktest::MessageBytes({"Subject: lower"}), "lower"},
#endif
  };
  std::map<std::string, std::string> expected;
  for (const Entry& e : entries) {
    Put(e.name, e.bytes);
    if (e.subject) expected[e.name] = e.subject;
  }
  std::error_code ec;
  std::filesystem::create_directory(InBox("KWZ0010"), ec);
#ifndef _WIN32
  ASSERT_EQ(mkfifo(InBox("KWZ0011").c_str(), 0600), 0);
  Put("../outside", vktest::MessageBytes({"Subject: outside"}));
  std::filesystem::create_symlink(InBox("../outside"), InBox("KWZ0012"), ec);
  for (const char* refused : {"KWZ0010", "KWZ0011", "KWZ0012"})
    EXPECT_EQ(ReadMessage(InBox(refused)).code, CMC_E_INVALID_MESSAGE_REFERENCE) << refused;
#endif
  std::map<std::string, std::string> listed;
  const Listing all = List();
  for (const auto& item : all.items) {
    listed[item.name] = item.subject + (item.read() ? "*" : "");
    EXPECT_EQ(item.reference, InBox(item.name));
    EXPECT_EQ((item.flags & CMC_SUM_LAST_ELEMENT) != 0, &item == &all.items.back()) << item.name;
  }
  EXPECT_EQ(listed, expected);
  EXPECT_EQ(List(CMC_LIST_UNREAD_ONLY).count, expected.size());  // accepted, and lists read ones too
  // Paging two at a time with seeds sees every message once and ends.
  std::map<std::string, std::string> paged;
  for (std::string seed;;) {
    Listing page = List(0, 2, seed.empty() ? nullptr : &seed);
    for (const auto& item : page.items)
      paged[item.name] += item.reference == seed ? "" : item.subject + (item.read() ? "*|" : "|");
    if (page.items.empty() || page.items.back().reference == seed) break;
    seed = page.items.back().reference;
  }
  for (auto& e : expected) e.second += "|";
  EXPECT_EQ(paged, expected);
  // A reference names one file: once it is gone its case twin is not reached.
  EXPECT_EQ(ActOn(InBox("KWZ12AB")), CMC_SUCCESS);
  EXPECT_EQ(ReadMessage(InBox("KWZ12AB")).code, CMC_E_INVALID_MESSAGE_REFERENCE);
  EXPECT_EQ(List().count, expected.size() - 1);
}

}  // namespace
