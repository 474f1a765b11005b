// The saved listing: message numbers refer to the order of the user's last
// listing, which is kept in a small file beside the workstation profile.
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "cli_mail.h"

namespace cli {

namespace {

// The directory of the workstation profile, where the tool keeps its own
// small files.
std::string StateDir() {
  const char* ini = std::getenv("VKMSG_WININI");
  if (ini && *ini) {
    std::string p = ini;
    size_t slash = p.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : p.substr(0, slash);
  }
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg) return std::string(xdg) + "/vkmsg";
  const char* home = std::getenv("HOME");
  return std::string(home ? home : ".") + "/.config/vkmsg";
}

}  // namespace

std::string StatePath(const std::string& user) {
  std::string safe;
  for (char c : user) safe += (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') ? c : '_';
  return StateDir() + "/last-list." + safe;
}

bool SaveListing(const std::string& user, const std::vector<std::string>& refs) {
  std::string dir = StateDir();
  mkdir(dir.c_str(), 0777);  // usually there already, beside the profile
  std::string path = StatePath(user);
  std::string tmp = path + ".new";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    for (const std::string& r : refs) out << r << "\n";
    if (!out.flush()) return false;
  }
  return std::rename(tmp.c_str(), path.c_str()) == 0;
}

std::vector<std::string> LoadListing(const std::string& user) {
  std::vector<std::string> refs;
  std::ifstream in(StatePath(user), std::ios::binary);
  std::string line;
  while (std::getline(in, line)) refs.push_back(line);
  return refs;
}

bool AllDigits(const std::string& s) {
  if (s.empty() || s.size() > 6) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

bool OneMessageArg(const Args& a, const char* cmd) {
  if (a.positional.size() == 1) return true;
  Fail(std::string(cmd) + " needs one message: vkmsg " + cmd + " N|REF");
  return false;
}

bool ResolveMessage(MailSession* s, const Args& a, const char* cmd, std::string* ref) {
  const std::string& w = a.positional[0];
  if (!AllDigits(w)) {
    *ref = w;
    return true;
  }
  std::string user = SessionUser(s);
  std::vector<std::string> refs = LoadListing(user);
  size_t n = static_cast<size_t>(std::atoi(w.c_str()));
  if (refs.empty()) {
    std::ifstream probe(StatePath(user));
    Fail(std::string(cmd) + (probe ? ": the last listing was empty; run 'vkmsg list' again"
                                   : ": no listing to count from; run 'vkmsg list' first"));
    return false;
  }
  if (n < 1 || n > refs.size()) {
    Fail(std::string(cmd) + ": there is no message " + w + " in the last listing (1 to " + std::to_string(refs.size()) +
         ")");
    return false;
  }
  *ref = refs[n - 1];
  return true;
}

}  // namespace cli
