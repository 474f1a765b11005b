// Send and registry figures beside their baselines, measured in the same run:
// one message with a 10 MiB attachment to 20 users against copying the file
// 21 times with copy_file_range (each copy flushed, and not), and a password
// check among 10,000 users against one read of the passwd file.  Peak
// resident memory is reported as the counter "peak_rss_kib".
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "vkmsg/vkmsg.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRecipients = 20;
constexpr size_t kAttachment = 10u << 20;

void PlayLogin(void*, VkDialog* d) {
  vk_dialog_set_text(d, 1501, "bob");
  vk_dialog_set_text(d, 1502, "pw");
  vk_dialog_click(d, 1);
}

long PeakRssKib() {
  struct rusage u {};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// A tree with bob and u00..u19, or with bob among 10,000 users; removed at
// the end.
class Tree {
 public:
  explicit Tree(bool crowd) {
    const char* where = std::getenv("VKMSG_BENCH_DIR");
    root_ = (where != nullptr && *where != '\0' ? fs::path(where) : fs::temp_directory_path()) /
            ("vkmsg-send-bench-" + std::to_string(::getpid()) + (crowd ? "-crowd" : ""));
    fs::remove_all(root_);
    fs::create_directories(root_);
    profile_ = (root_ / "win.ini").string();
    vk::PlatSetWorkstationProfile(profile_.c_str());
    ok_ = bSetupMHSDirs(root_.string().c_str()) == 1 && bAddUser("bob", "pw") == 1;
    passwd_ = (root_ / "MHS" / "MAIL" / "PUBLIC" / "passwd").string();
    if (crowd) {
      std::ofstream out(passwd_, std::ios::app);
      for (int i = 0; i < 10000; ++i) out << "user" << 10000 + i << "=0123456789ABCDEF\n";
    } else {
      for (int i = 0; i < kRecipients; ++i) ok_ = ok_ && bAddUser(Recipient(i).c_str(), "pw") == 1;
    }
    source_ = (root_ / "big.bin").string();
    // Written in pieces, so that the peak memory is the send's own.
    std::ofstream source(source_, std::ios::binary);
    const std::string piece(1 << 16, 'x');
    for (size_t n = 0; n < kAttachment; n += piece.size()) source << piece;
    vk_set_dialog_driver(PlayLogin, nullptr);
  }
  ~Tree() {
    vk_set_dialog_driver(nullptr, nullptr);
    vk::PlatSetWorkstationProfile(nullptr);
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  static std::string Recipient(int i) { return "u" + std::to_string(10 + i); }
  // Empties every mailbox and parcel directory.
  void Clear() const {
    for (const auto& user : fs::directory_iterator(root_ / "MHS" / "MAIL" / "USERS")) {
      for (const char* sub : {"MHS", "IPARCEL"}) {
        for (const auto& f : fs::directory_iterator(user.path() / sub)) fs::remove_all(f.path());
      }
    }
  }

  fs::path root_;
  std::string profile_, passwd_, source_;
  bool ok_ = false;
};

void BM_SendTenMiBToTwentyUsers(benchmark::State& state) {
  Tree tree(false);
  CMC_session_id session = 0;
  if (!tree.ok_ || cmc_logon(nullptr, nullptr, nullptr, nullptr, 0, CMC_VERSION, 0, &session, nullptr) != 0)
    return state.SkipWithError("no tree");
  std::vector<std::string> names;
  for (int i = 0; i < kRecipients; ++i) names.push_back(Tree::Recipient(i));
  std::vector<CMC_recipient> r(kRecipients);
  for (int i = 0; i < kRecipients; ++i) {
    r[i] = CMC_recipient{};
    r[i].name = r[i].address = &names[i][0];
  }
  r.back().recip_flags = CMC_RECIP_LAST_ELEMENT;
  char title[] = "big.bin";
  CMC_attachment a{};
  a.attach_title = title;
  a.attach_filename = &tree.source_[0];
  a.attach_flags = CMC_ATT_LAST_ELEMENT;
  char subject[] = "figures";
  CMC_message m{};
  m.subject = subject;
  m.recipients = r.data();
  m.attachments = &a;
  for (auto _ : state) {
    if (cmc_send(session, &m, 0, 0, nullptr) != CMC_SUCCESS) return state.SkipWithError("send failed");
    state.PauseTiming();
    tree.Clear();
    state.ResumeTiming();
  }
  state.counters["peak_rss_kib"] = static_cast<double>(PeakRssKib());
  cmc_logoff(session, 0, 0, nullptr);
}
BENCHMARK(BM_SendTenMiBToTwentyUsers)->Unit(benchmark::kMillisecond)->UseRealTime();

// The least a durable send must do: 21 copies, each flushed (Arg 1) or not.
void BM_CopyFileRange21Times(benchmark::State& state) {
  Tree tree(false);
  const bool flush = state.range(0) != 0;
  for (auto _ : state) {
    for (int i = 0; i < kRecipients + 1; ++i) {
      const std::string to = (tree.root_ / ("copy" + std::to_string(i))).string();
      int in = open(tree.source_.c_str(), O_RDONLY);
      int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      for (ssize_t n = 1; n > 0;) n = copy_file_range(in, nullptr, out, nullptr, kAttachment, 0);
      if (flush) fsync(out);
      close(in);
      close(out);
    }
    state.PauseTiming();
    for (int i = 0; i < kRecipients + 1; ++i) fs::remove(tree.root_ / ("copy" + std::to_string(i)));
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CopyFileRange21Times)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CheckPasswordAmongTenThousand(benchmark::State& state) {
  Tree tree(true);
  if (!tree.ok_) return state.SkipWithError("no tree");
  for (auto _ : state) {
    if (bCheckPW("bob", "pw") != 1) return state.SkipWithError("check failed");
  }
}
BENCHMARK(BM_CheckPasswordAmongTenThousand)->Unit(benchmark::kMicrosecond);

// The baseline: one read of the whole passwd file, the least a check that
// sees other workstations' changes must do: open, one read into a block of
// the file's size, close.
void BM_ReadPasswdOnce(benchmark::State& state) {
  Tree tree(true);
  std::string text(static_cast<size_t>(fs::file_size(tree.passwd_)) + 1, '\0');
  for (auto _ : state) {
    std::FILE* f = std::fopen(tree.passwd_.c_str(), "rb");
    if (f == nullptr) {
      state.SkipWithError("no passwd");
      break;
    }
    benchmark::DoNotOptimize(std::fread(&text[0], 1, text.size(), f));
    std::fclose(f);
  }
}
BENCHMARK(BM_ReadPasswdOnce)->Unit(benchmark::kMicrosecond);

}  // namespace
