// Listing and reading a large mailbox as a host does it: page through it
// with seeds, then read every message; beside it the least any reader must
// do, one pass that opens each file and reads its first 4 KiB.  Counting
// and paging alone run at 60,000 messages.  bench/compare sets the same
// messages beside Python's mailbox module.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "vkmsg/vkmsg.h"

namespace {

namespace fs = std::filesystem;

// Message `i` of a mailbox, byte for byte as bench/compare writes it.
std::string MessageText(int i) {
  char head[256];
  std::snprintf(head, sizeof head,
                "SMF-71\r\nFrom: user%d\r\nTo: ann\r\nSubject: Message %d\r\nDate-posted: %2d-Dec-2026 %2d:%02d:%02d "
                "-0000\r\n\r\n",
                i % 10, i, 1 + i % 28, i % 24, i % 60, (i / 60) % 60);
  std::string text = head;
  for (int line = 0; line < 30; ++line)
    text += "A line of an ordinary message text, about seventy characters long.\r\n";
  return text;
}

void LogOnDialog(void*, VkDialog* d) {
  vk_dialog_set_text(d, 1501, "ann");
  vk_dialog_set_text(d, 1502, "ann-pw");
  vk_dialog_click(d, 1);
}

// A mail tree whose user ann holds `n` messages, logged on as ann; one per
// size for the whole run.
class Mailbox {
 public:
  explicit Mailbox(int n) {
    const char* where = std::getenv("VKMSG_BENCH_DIR");
    root_ = (where != nullptr && *where != '\0' ? fs::path(where) : fs::temp_directory_path()) /
            ("vkmsg-list-bench-" + std::to_string(::getpid()) + "-" + std::to_string(n));
    fs::remove_all(root_);
    fs::create_directories(root_);
    profile_ = (root_ / "win.ini").string();
    vk::PlatSetWorkstationProfile(profile_.c_str());
    ok_ = bSetupMHSDirs(root_.string().c_str()) == 1 && bAddUser("ann", "ann-pw") == 1;
    dir_ = root_ / "MHS" / "MAIL" / "USERS" / "ann" / "MHS";
    for (int i = 0; ok_ && i < n; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "KWZ%04x", i);
      std::ofstream(dir_ / name, std::ios::binary) << MessageText(i);
    }
    vk::PlatSetWorkstationProfile(nullptr);
  }
  ~Mailbox() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  // Other benchmarks log on to trees of their own: each run logs on and off.
  bool LogOn() {
    vk::PlatSetWorkstationProfile(profile_.c_str());
    vk_set_dialog_driver(LogOnDialog, nullptr);
    return cmc_logon(nullptr, nullptr, nullptr, nullptr, 0, CMC_VERSION, 0, &session_, nullptr) == CMC_SUCCESS;
  }
  void LogOff() {
    if (session_) cmc_logoff(session_, 0, 0, nullptr);
    session_ = 0;
    vk_set_dialog_driver(nullptr, nullptr);
    vk::PlatSetWorkstationProfile(nullptr);
  }
  bool ok() const { return ok_; }
  CMC_session_id session() const { return session_; }
  const fs::path& dir() const { return dir_; }

 private:
  fs::path root_, dir_;
  std::string profile_;
  CMC_session_id session_ = 0;
  bool ok_ = false;
};

// Each size's mailbox is made once; the last one goes at exit.
Mailbox* Tree(int n) {
  static std::unique_ptr<Mailbox> tree;
  static int size = -1;
  if (size != n) {
    tree.reset();
    tree.reset(new Mailbox(n));
    size = n;
  }
  return tree->ok() ? tree.get() : nullptr;
}

// The tree of `n` messages, logged on as ann while it lives.
struct Run {
  explicit Run(int n) : tree(Tree(n)) {
    if (tree != nullptr && !tree->LogOn()) tree = nullptr;
  }
  ~Run() {
    if (tree != nullptr) tree->LogOff();
  }
  Mailbox* tree;
};

std::vector<char> RefBytes(const std::string& text) {
  std::vector<char> b(sizeof(CMC_uint32) + text.size() + 1, '\0');
  const CMC_uint32 len = static_cast<CMC_uint32>(text.size());
  std::memcpy(b.data(), &len, sizeof len);
  std::memcpy(b.data() + sizeof len, text.data(), text.size());
  return b;
}

// Pages of `page` summaries, each page seeded with the last reference of the
// one before; `visit` sees every reference once.  The number seen, or -1.
template <typename Visit>
long PageAll(CMC_session_id session, CMC_flags flags, CMC_uint32 page, Visit visit) {
  std::string seed;
  long seen = 0;
  for (;;) {
    std::vector<char> sb = RefBytes(seed);
    CMC_uint32 count = page;
    CMC_message_summary* sums = nullptr;
    auto* s = seed.empty() ? nullptr : reinterpret_cast<CMC_message_reference*>(sb.data());
    if (cmc_list(session, nullptr, flags, s, &count, 0, &sums, nullptr) != CMC_SUCCESS) return -1;
    std::string last = seed;
    for (CMC_uint32 i = 0; i < count; ++i) {
      CMC_message_reference* ref = sums[i].message_reference;
      std::string text(ref->string, ref->length);
      if (text == seed) continue;
      ++seen;
      visit(ref);
      last = text;
    }
    if (sums) cmc_free(sums);
    if (last == seed) return seen;
    seed = last;
  }
}

void BM_PageAndReadAll(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Run run(n);
  Mailbox* tree = run.tree;
  if (tree == nullptr) return state.SkipWithError("no mail tree");
  for (auto _ : state) {
    bool read_all = true;
    const long seen = PageAll(tree->session(), 0, 100, [&](CMC_message_reference* ref) {
      CMC_message* m = nullptr;
      read_all = read_all && cmc_read(tree->session(), ref, CMC_DO_NOT_MARK_AS_READ, &m, 0, nullptr) == CMC_SUCCESS;
      if (m != nullptr) cmc_free(m);
    });
    if (seen != n || !read_all) return state.SkipWithError("not every message was listed and read");
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_PageAndReadAll)->Arg(10000)->Unit(benchmark::kMillisecond);

// The baseline: one pass that opens each file and reads 4 KiB of it.
void BM_OpenAndRead4KiB(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Run run(n);
  Mailbox* tree = run.tree;
  if (tree == nullptr) return state.SkipWithError("no mail tree");
  const std::string dir = tree->dir().string() + "/";
  static char buf[4096];
  for (auto _ : state) {
    DIR* d = opendir(dir.c_str());
    int files = 0;
    while (struct dirent* e = readdir(d)) {
      if (e->d_name[0] == '.') continue;
      const int fd = open((dir + e->d_name).c_str(), O_RDONLY);
      if (fd < 0) continue;
      files += read(fd, buf, sizeof buf) > 0;
      close(fd);
    }
    closedir(d);
    if (files != n) return state.SkipWithError("not every file was read");
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_OpenAndRead4KiB)->Arg(10000)->Unit(benchmark::kMillisecond);

// The system calls that the listing and the read cannot do without, made
// from C with nothing else, each relative to the mailbox directory held
// open: per message the listing's open, the look that refuses a directory
// and takes the stamp, the sharing marker and the look for an exclusive
// holder, one read and the close; then the read's look at the mailbox
// directory, which tells that no name in it has changed since.
void BM_CallsTheGuaranteesNeed(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Run run(n);
  Mailbox* tree = run.tree;
  if (tree == nullptr) return state.SkipWithError("no mail tree");
  const std::string dir = tree->dir().string();
  static char buf[4096];
  for (auto _ : state) {
    const int held = open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    DIR* d = opendir(dir.c_str());
    std::vector<std::string> names;
    while (struct dirent* e = readdir(d)) {
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    }
    closedir(d);
    int files = 0;
    struct stat st;
    for (const std::string& name : names) {
      const int fd = openat(held, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
      if (fd < 0) continue;
      fstat(fd, &st);
      struct flock mark = {};
      mark.l_type = F_RDLCK;
      mark.l_start = static_cast<off_t>(1) << 40;
      mark.l_len = 1;
      fcntl(fd, F_OFD_SETLK, &mark);
      struct flock look = mark;
      look.l_type = F_WRLCK;
      look.l_start += 2;
      fcntl(fd, F_OFD_GETLK, &look);
      files += read(fd, buf, sizeof buf) > 0;
      close(fd);
    }
    for (size_t i = 0; i < names.size(); ++i) files -= fstat(held, &st) != 0;
    close(held);
    if (files != n) return state.SkipWithError("not every file was read");
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_CallsTheGuaranteesNeed)->Arg(10000)->Unit(benchmark::kMillisecond);

// Listing alone: every summary page by page, and the count.
void BM_PageAll(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Run run(n);
  Mailbox* tree = run.tree;
  if (tree == nullptr) return state.SkipWithError("no mail tree");
  for (auto _ : state) {
    if (PageAll(tree->session(), 0, 100, [](CMC_message_reference*) {}) != n) return state.SkipWithError("short");
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_PageAll)->Arg(10000)->Arg(60000)->Unit(benchmark::kMillisecond);

void BM_CountOnly(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Run run(n);
  Mailbox* tree = run.tree;
  if (tree == nullptr) return state.SkipWithError("no mail tree");
  for (auto _ : state) {
    CMC_uint32 count = 0;
    if (cmc_list(tree->session(), nullptr, CMC_LIST_COUNT_ONLY, nullptr, &count, 0, nullptr, nullptr) != CMC_SUCCESS ||
        count != static_cast<CMC_uint32>(n))
      return state.SkipWithError("count");
  }
}
BENCHMARK(BM_CountOnly)->Arg(60000)->Unit(benchmark::kMillisecond);

}  // namespace
