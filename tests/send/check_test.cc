// The leftovers of failed sends and profile writes in a real tree: the stale
// ones go on repair; fresh ones and what may be a user's mail stay.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>
#if defined(_WIN32)
#include <windows.h>
#endif

#include "send/check.h"
#include "send/send_test_util.h"

namespace {

namespace fs = std::filesystem;
using vk::Debris;

struct Piece {
  const char* rel;  // below the mail directory; a trailing '/' makes a directory
  bool old;         // stale: reported
  Debris kind;
  bool stays;  // after the repair
};
const Piece kPieces[] = {
    {"SND/KWZ0a01", true, Debris::kStagedFile, false},
    {"SND/KWZ0a02", false, Debris::kStagedFile, true},  // a send in progress
    {"PARCEL/KWZ0a03", true, Debris::kStagedFile, false},
    {"PARCEL/KWZ0a04.new/", true, Debris::kGuard, false},
    {"PUBLIC/.passwd.Ab3xYz", true, Debris::kProfileTemp, false},
    {"PUBLIC/vkp1A2.tmp", true, Debris::kProfileTemp, false},  // the Win32 backend's
    {"PUBLIC/passwd.lck/owner", true, Debris::kProfileLock, false},
    {"USERS/ann/local.ab.lck/owner", true, Debris::kProfileLock, false},
    {"USERS/ann/MHS/KWZ0b01.tmp/KWZ0b01", true, Debris::kClaim, false},
    {"USERS/ann/MHS/KWZ0b02", true, Debris::kBrokenMessage, true},
    {"USERS/ann/IPARCEL/KWZ0c01", true, Debris::kOrphanParcel, false},
    {"USERS/ann/IPARCEL/KWZ0c02", false, Debris::kOrphanParcel, true},  // its message may be on its way
    {"USERS/ghost/local.ab", true, Debris::kDirWithoutUser, true},
};

// Two hours back; the standard library cannot date a directory on Windows.
void MakeOld(const fs::path& p) {
#if defined(_WIN32)
  HANDLE h = CreateFileW(p.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ULARGE_INTEGER t;
  GetSystemTimeAsFileTime(reinterpret_cast<FILETIME*>(&t));
  t.QuadPart -= 2 * 3600 * 10000000ull;
  EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, reinterpret_cast<FILETIME*>(&t))) << p;
  CloseHandle(h);
#else
  fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::hours(2));
#endif
}

class Check : public vktest::SenderTree {
 protected:
  std::multimap<std::string, Debris> Run(bool repair, vk::CheckTotals* totals) {  // by last name
    std::multimap<std::string, Debris> found;
    vk::CheckCallbacks cb;
    cb.context = &found;
    cb.finding = [](void* c, const vk::CheckFinding& f) {
      std::string p = f.path;
      while (!p.empty() && (p.back() == '/' || p.back() == '\\')) p.pop_back();
      static_cast<std::multimap<std::string, Debris>*>(c)->emplace(p.substr(p.find_last_of("/\\") + 1), f.kind);
    };
    EXPECT_EQ(vk::CheckMailTree(Mail().string().c_str(), repair, cb, totals), 0);
    return found;
  }
  fs::path Named(const Piece& p) const {  // what the check names
    const fs::path path = (Mail() / p.rel).make_preferred();
    return p.kind == Debris::kStagedFile || p.kind == Debris::kProfileTemp || p.kind == Debris::kBrokenMessage ||
                   p.kind == Debris::kOrphanParcel
               ? path
               : path.parent_path();
  }
};

TEST_F(Check, FindsStaleLeftoversAndRepairRemovesOnlyThose) {
  std::vector<CMC_recipient> r = {vktest::To("ann")};
  const std::string file = Source("f", "data");
  std::vector<CMC_attachment> a = {vktest::Attach(file, "t")};
  CMC_message m = vktest::Message(r, &a, "s", "t");
  ASSERT_EQ(Send(&m), CMC_SUCCESS);
  MakeOld(Mailbox("ann") / Only(Mailbox("ann")));  // old mail is no debris
  MakeOld(Parcels("ann") / Only(Parcels("ann")));
  fs::remove_all(UserDir("dave") / "IPARCEL");
  std::multimap<std::string, Debris> want = {{"dave", Debris::kUserWithoutDirs}};
  for (const Piece& p : kPieces) {
    fs::create_directories((Mail() / p.rel).parent_path());
    ASSERT_TRUE(p.kind == Debris::kGuard || vktest::WriteWholeFile((Mail() / p.rel).string(), "junk")) << p.rel;
    if (p.old) MakeOld(Mail() / p.rel), MakeOld(Named(p)), want.emplace(Named(p).filename().string(), p.kind);
  }
  vk::CheckTotals t;
  EXPECT_EQ(Run(false, &t), want);
  EXPECT_EQ(t.removed, 0u);
  for (const Piece& p : kPieces) EXPECT_TRUE(fs::exists(Mail() / p.rel)) << p.rel;
  EXPECT_EQ(Run(true, &t), want);
  EXPECT_EQ(t.failed, 0u);
  EXPECT_EQ(t.removed + t.report_only, t.found);
  for (const Piece& p : kPieces) EXPECT_EQ(fs::exists(Named(p)), p.stays) << p.rel;
  EXPECT_EQ(CountFiles(Mailbox("ann")), 2u);  // the delivered message and the broken file
  EXPECT_EQ(CountFiles(Parcels("ann")), 2u);  // its parcel and the fresh one
  EXPECT_EQ(Run(true, &t).size(), 3u);        // what only an administrator may decide
}

}  // namespace
