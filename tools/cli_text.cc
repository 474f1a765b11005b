// Text and path helpers of the mail commands.
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <string>

#include "cli_mail.h"

namespace cli {

char* Mutable(std::string& s) { return &s[0]; }

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char cwd[PATH_MAX];
  if (!getcwd(cwd, sizeof cwd)) return path;
  return std::string(cwd) + "/" + path;
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SafeTitle(const std::string& name) {
  std::string out = name;
  for (char& c : out)
    if (c == ' ' || c == ',' || c == '\t' || c == '\r' || c == '\n') c = '_';
  return out.empty() ? std::string("attachment") : out;
}

std::string ToTerminal(const char* text) {
  std::string out;
  if (!text) return out;
  for (const char* p = text; *p; ++p)
    if (!(p[0] == '\r' && p[1] == '\n')) out += *p;
  return out;
}

std::string ToMessageText(const std::string& in) {
  std::string out;
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '\n' && (i == 0 || in[i - 1] != '\r')) out += '\r';
    out += in[i];
  }
  // The writer ends the body with its own line end.
  if (out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0) out.resize(out.size() - 2);
  return out;
}

std::string FormatTime(const CMC_time& t) {
  if (t.day == 0 && t.month == 0 && t.year == 0 && t.hour == 0 && t.minute == 0) return "-";
  // The year is kept as years since 1900 in eight bits; read it unsigned so
  // that dates after 2027 do not come out before 1900.
  int year = 1900 + static_cast<unsigned char>(t.year);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", year, t.month + 1, t.day, t.hour, t.minute);
  return buf;
}

std::string OrDash(const char* s) { return (s && *s) ? std::string(s) : std::string("-"); }

std::string Cut(const std::string& s, size_t width) {
  if (s.size() <= width) return s;
  return s.substr(0, width - 1) + "~";
}

std::string JoinRecipients(const CMC_message* m, CMC_enum role) {
  std::string out;
  if (!m->recipients) return out;
  for (const CMC_recipient* r = m->recipients;; ++r) {
    if (r->role == role && (r->address || r->name)) {
      std::string who = r->address ? r->address : r->name;
      size_t b = who.find_first_not_of(' ');
      who = b == std::string::npos ? std::string() : who.substr(b);
      if (!who.empty()) out += (out.empty() ? "" : ", ") + who;
    }
    if (r->recip_flags & CMC_RECIP_LAST_ELEMENT) break;
  }
  return out;
}

bool CheckReadable(const std::string& path, const char* cmd) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    Fail(std::string(cmd) + ": cannot attach " + path + ": no such file");
    return false;
  }
  return true;
}

}  // namespace cli
