// How long the mail calls take: listing a mailbox, delivering one message,
// reading one message, and the registry's writes and password checks.  The
// tree lives in the directory VKMSG_BENCH_DIR names (a network share, say:
// scripts/with-share provides one), else in the temporary directory.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/profile.h"
#include "vkmsg/vkmsg.h"

namespace {

namespace fs = std::filesystem;

struct Login {
  std::string user;
};

void PlayLogin(void* context, VkDialog* d) {
  const Login* login = static_cast<const Login*>(context);
  vk_dialog_set_text(d, 1501, login->user.c_str());
  vk_dialog_set_text(d, 1502, (login->user + "-pw").c_str());
  vk_dialog_click(d, 1);
}

std::vector<char> RefBytes(const std::string& text) {
  std::vector<char> b(sizeof(CMC_uint32) + text.size() + 1, '\0');
  CMC_uint32 len = static_cast<CMC_uint32>(text.size());
  std::memcpy(b.data(), &len, sizeof len);
  std::memcpy(b.data() + sizeof len, text.data(), text.size());
  return b;
}

std::string Body() {
  std::string body;
  for (int i = 0; i < 30; ++i) body += "A line of an ordinary message text, about seventy characters long.\r\n";
  return body;
}

// A fresh mail tree with ann, bob and ten more users, removed at the end.
class Tree {
 public:
  Tree() {
    const char* where = std::getenv("VKMSG_BENCH_DIR");
    root_ = (where != nullptr && *where != '\0' ? fs::path(where) : fs::temp_directory_path()) /
            ("vkmsg-bench-" + std::to_string(::getpid()) + "-" + std::to_string(++trees_));
    fs::remove_all(root_);
    fs::create_directories(root_);
    profile_ = (root_ / "win.ini").string();
    vk::PlatSetWorkstationProfile(profile_.c_str());
    ok_ = bSetupMHSDirs(root_.string().c_str()) == 1;
    for (const std::string& u : Users()) ok_ = ok_ && bAddUser(u.c_str(), (u + "-pw").c_str()) == 1;
    attachment_ = (root_ / "figures.bin").string();
    std::ofstream(attachment_, std::ios::binary) << std::string(4096, 'x');
    vk_set_dialog_driver(PlayLogin, &login_);
  }
  ~Tree() {
    LogOff();
    vk_set_dialog_driver(nullptr, nullptr);
    vk::PlatSetWorkstationProfile(nullptr);
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  static std::vector<std::string> Users() {
    std::vector<std::string> u = {"ann", "bob"};
    for (int i = 0; i < 10; ++i) u.push_back("user" + std::to_string(i));
    return u;
  }
  bool ok() const { return ok_; }

  bool LogOn(const std::string& user) {
    LogOff();
    login_.user = user;
    return cmc_logon(nullptr, nullptr, nullptr, nullptr, 0, CMC_VERSION, 0, &session_, nullptr) == CMC_SUCCESS;
  }
  void LogOff() {
    if (session_) cmc_logoff(session_, 0, 0, nullptr);
    session_ = 0;
  }
  CMC_session_id session() const { return session_; }

  CMC_return_code Send(const std::vector<std::string>& to, bool with_attachment) {
    std::vector<std::string> names = to;
    std::vector<CMC_recipient> r(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
      r[i] = CMC_recipient{};
      r[i].name = &names[i][0];
      r[i].address = &names[i][0];
    }
    r.back().recip_flags = CMC_RECIP_LAST_ELEMENT;
    char title[] = "figures.bin";
    CMC_attachment a{};
    a.attach_title = title;
    a.attach_filename = &attachment_[0];
    a.attach_flags = CMC_ATT_LAST_ELEMENT;
    char subject[] = "Benchmark message";
    std::string body = Body();
    CMC_message m{};
    m.subject = subject;
    m.text_note = &body[0];
    m.recipients = r.data();
    m.attachments = with_attachment ? &a : nullptr;
    m.message_flags = CMC_MSG_LAST_ELEMENT;
    return cmc_send(session_, &m, 0, 0, nullptr);
  }

  // The whole mailbox in pages, as a host must list a large one.
  CMC_return_code ListAll(size_t* listed) {
    *listed = 0;
    std::string seed;
    for (;;) {
      std::vector<char> sb = RefBytes(seed);
      CMC_message_reference* s = seed.empty() ? nullptr : reinterpret_cast<CMC_message_reference*>(sb.data());
      CMC_uint32 count = 100;
      CMC_message_summary* sums = nullptr;
      CMC_return_code r = cmc_list(session_, nullptr, 0, s, &count, 0, &sums, nullptr);
      std::string last;
      if (sums && count > 0)
        last.assign(sums[count - 1].message_reference->string, sums[count - 1].message_reference->length);
      *listed += count - ((!seed.empty() && count > 0) ? 1 : 0);
      if (sums) cmc_free(sums);
      if (r != CMC_SUCCESS || count < 100 || last == seed) return r;
      seed = last;
    }
  }

  std::string Mailbox(const std::string& user) const {
    return (root_ / "MHS" / "MAIL" / "USERS" / user / "MHS").string();
  }
  std::string Parcels(const std::string& user) const {
    return (root_ / "MHS" / "MAIL" / "USERS" / user / "IPARCEL").string();
  }
  void Empty(const std::string& user) const {
    for (const std::string& dir : {Mailbox(user), Parcels(user)}) {
      std::error_code ec;
      for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) fs::remove(it->path(), ec);
    }
  }

 private:
  fs::path root_;
  std::string profile_;
  std::string attachment_;
  Login login_;
  CMC_session_id session_ = 0;
  bool ok_ = false;
  // A new name for each tree: a share's client may still know a removed
  // tree's directories under another spelling for a moment.
  static int trees_;
};
int Tree::trees_ = 0;

void BM_ListMailbox(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  Tree tree;
  if (!tree.ok() || !tree.LogOn("bob")) return state.SkipWithError("no mail tree");
  for (size_t i = 0; i < n; ++i)
    if (tree.Send({"ann"}, false) != CMC_SUCCESS) return state.SkipWithError("sending failed");
  if (!tree.LogOn("ann")) return state.SkipWithError("logon failed");
  for (auto _ : state) {
    size_t listed = 0;
    if (tree.ListAll(&listed) != CMC_SUCCESS || listed != n) return state.SkipWithError("listing failed");
    benchmark::DoNotOptimize(listed);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * n));
}
BENCHMARK(BM_ListMailbox)->Arg(10)->Arg(100)->Arg(500)->Unit(benchmark::kMillisecond);

void BM_DeliverOneMessage(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Tree tree;
  if (!tree.ok() || !tree.LogOn("bob")) return state.SkipWithError("no mail tree");
  std::vector<std::string> to;
  for (int i = 0; i < n; ++i) to.push_back("user" + std::to_string(i));
  int since_emptied = 0;
  for (auto _ : state) {
    if (tree.Send(to, true) != CMC_SUCCESS) return state.SkipWithError("sending failed");
    // Keep the mailboxes small: unique names get slower to find as a
    // directory fills.
    if (++since_emptied == 200) {
      state.PauseTiming();
      for (auto& u : to) tree.Empty(u);
      since_emptied = 0;
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DeliverOneMessage)->Arg(1)->Arg(10)->Unit(benchmark::kMicrosecond);

void BM_ReadOneMessage(benchmark::State& state) {
  Tree tree;
  if (!tree.ok() || !tree.LogOn("bob")) return state.SkipWithError("no mail tree");
  if (tree.Send({"ann"}, true) != CMC_SUCCESS) return state.SkipWithError("sending failed");
  if (!tree.LogOn("ann")) return state.SkipWithError("logon failed");
  CMC_uint32 count = 1;
  CMC_message_summary* sums = nullptr;
  if (cmc_list(tree.session(), nullptr, CMC_LIST_MSG_REFS_ONLY, nullptr, &count, 0, &sums, nullptr) != CMC_SUCCESS ||
      count != 1)
    return state.SkipWithError("listing failed");
  std::vector<char> ref = RefBytes(std::string(sums[0].message_reference->string, sums[0].message_reference->length));
  cmc_free(sums);
  for (auto _ : state) {
    CMC_message* m = nullptr;
    if (cmc_read(tree.session(), reinterpret_cast<CMC_message_reference*>(ref.data()), CMC_DO_NOT_MARK_AS_READ, &m, 0,
                 nullptr) != CMC_SUCCESS)
      return state.SkipWithError("reading failed");
    benchmark::DoNotOptimize(m->text_note);
    cmc_free(m);
  }
}
BENCHMARK(BM_ReadOneMessage)->Unit(benchmark::kMicrosecond);

// One registry write each way: a user added (directories, then the passwd
// entry under the writers' lock) and removed again.
void BM_AddAndRemoveUser(benchmark::State& state) {
  Tree tree;
  if (!tree.ok()) return state.SkipWithError("no mail tree");
  for (auto _ : state) {
    if (bAddUser("newcomer", "pw") != 1 || bRemUser("newcomer") != 1) return state.SkipWithError("registry failed");
  }
}
BENCHMARK(BM_AddAndRemoveUser)->Unit(benchmark::kMillisecond);

void BM_CheckPassword(benchmark::State& state) {
  Tree tree;
  if (!tree.ok()) return state.SkipWithError("no mail tree");
  for (auto _ : state) {
    if (bCheckPW("user5", "user5-pw") != 1) return state.SkipWithError("check failed");
  }
}
BENCHMARK(BM_CheckPassword)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
