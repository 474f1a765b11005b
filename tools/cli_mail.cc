// The mail commands of the vkmsg tool: send, list, read, delete, lookup and
// send-documents.  Each logs on, does its one thing through the CMC calls and
// logs off again.  Message numbers refer to the order of the user's last
// listing, which is kept in a small file beside the workstation profile.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"

namespace cli {

namespace {

// Listings are fetched in pages: one result block holds only so many
// summaries, and a caller can always continue from a seed.
const CMC_uint32 kListPage = 100;

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

// An attachment title travels in a header list whose items are separated by
// commas and blanks; a title holding one would split into several and shift
// every later title onto the wrong file.
std::string SafeTitle(const std::string& name) {
  std::string out = name;
  for (char& c : out)
    if (c == ' ' || c == ',' || c == '\t' || c == '\r' || c == '\n') c = '_';
  return out.empty() ? std::string("attachment") : out;
}

// A message reference as the calls take it: the length word, the text and a
// terminating zero.
struct Reference {
  std::vector<char> bytes;
  CMC_message_reference* get() { return reinterpret_cast<CMC_message_reference*>(bytes.data()); }
};

Reference MakeReference(const std::string& text) {
  Reference r;
  r.bytes.assign(sizeof(CMC_uint32) + text.size() + 1, '\0');
  CMC_uint32 len = static_cast<CMC_uint32>(text.size());
  std::memcpy(r.bytes.data(), &len, sizeof len);
  std::memcpy(r.bytes.data() + sizeof len, text.data(), text.size());
  return r;
}

std::string ReferenceText(const CMC_message_reference* ref) {
  if (!ref) return std::string();
  return std::string(ref->string, ref->length);
}

// Message files end their lines with CR LF; the terminal wants LF.
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

// The logged-on session of one command; logs off when it goes.
struct MailSession {
  DialogPlayer player;
  CMC_session_id id = 0;
  ~MailSession() {
    if (id) cmc_logoff(id, 0, 0, nullptr);
  }
};

bool OpenSession(const Args& a, MailSession* s) {
  PlayerFromArgs(a, &s->player);
  return Logon(&s->player, &s->id) == CMC_SUCCESS;
}

// The name of the logged-on user: the library's own answer, else what was
// typed (logon folds names to small letters).
std::string SessionUser(MailSession* s) {
  CMC_uint32 count = 0;
  CMC_recipient* me = nullptr;
  std::string name;
  if (cmc_look_up(s->id, nullptr, CMC_LOOKUP_RESOLVE_IDENTITY, 0, &count, &me, nullptr) == CMC_SUCCESS && me &&
      count > 0 && me->name)
    name = me->name;
  if (me) cmc_free(me);
  if (name.empty()) name = s->player.user;
  return Lower(name);
}

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

// N (a position of the last listing, from 1) or a reference as --refs
// printed it.
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
    Fail(std::string(cmd) + ": there is no message " + w + " in the last listing (1 to " +
         std::to_string(refs.size()) + ")");
    return false;
  }
  *ref = refs[n - 1];
  return true;
}

struct Summary {
  std::string ref;
  bool read = false;
  std::string from;
  std::string date;
  std::string subject;
  long long when = 0;  // sortable time sent
};

long long SortKey(const CMC_time& t) {
  long long y = static_cast<unsigned char>(t.year);
  return ((((y * 13 + t.month) * 32 + t.day) * 24 + t.hour) * 60 + t.minute) * 61 + t.second;
}

// The whole mailbox, page by page.  A failed page keeps what came before it.
CMC_return_code ListAll(CMC_session_id session, std::vector<Summary>* out) {
  std::string seed;
  for (;;) {
    Reference seed_ref = MakeReference(seed);
    CMC_uint32 remaining = 0;
    CMC_return_code r = cmc_list(session, nullptr, CMC_LIST_COUNT_ONLY, seed.empty() ? nullptr : seed_ref.get(),
                                 &remaining, 0, nullptr, nullptr);
    if (r != CMC_SUCCESS) return r;
    if (remaining == 0) return CMC_SUCCESS;
    CMC_uint32 count = remaining < kListPage ? remaining : kListPage;
    CMC_message_summary* sums = nullptr;
    r = cmc_list(session, nullptr, 0, seed.empty() ? nullptr : seed_ref.get(), &count, 0, &sums, nullptr);
    std::string last;
    for (CMC_uint32 i = 0; sums && i < count; ++i) {
      const CMC_message_summary& m = sums[i];
      Summary s;
      s.ref = ReferenceText(m.message_reference);
      last = s.ref;
      if (!seed.empty() && i == 0 && s.ref == seed) continue;  // the seed itself, listed last time
      s.read = (m.summary_flags & CMC_SUM_READ) != 0;
      s.from = m.originator ? OrDash(m.originator->name) : "-";
      s.date = FormatTime(m.time_sent);
      s.when = SortKey(m.time_sent);
      s.subject = m.subject ? m.subject : "";
      out->push_back(s);
    }
    if (sums) cmc_free(sums);
    if (r != CMC_SUCCESS) return r;
    if (remaining <= kListPage || last.empty() || last == seed) return CMC_SUCCESS;
    seed = last;
  }
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

bool ReadAllStdin(std::string* text) {
  if (StdinIsTerminal()) std::cerr << "Type the message; end it with Ctrl-D on a line of its own.\n";
  std::ostringstream ss;
  ss << std::cin.rdbuf();
  *text = ss.str();
  return true;
}

bool CheckReadable(const std::string& path, const char* cmd) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    Fail(std::string(cmd) + ": cannot attach " + path + ": no such file");
    return false;
  }
  return true;
}

const char* SendFailure(CMC_return_code r) {
  switch (r) {
    case CMC_E_RECIPIENT_NOT_FOUND:
      return "send: a recipient is not a user of this mail tree (any listed before it did get the message)";
    case CMC_E_ATTACHMENT_OPEN_FAILURE:
    case CMC_E_ATTACHMENT_NOT_FOUND:
      return "send: an attachment could not be opened";
    case CMC_E_INVALID_MESSAGE_PARAMETER:
      return "send: the message has no recipient";
    default:
      return "send";
  }
}

}  // namespace

int CmdSend(const Args& a) {
  if (!a.positional.empty()) return Fail("send takes its recipients with --to, --cc and --bcc");
  std::vector<std::pair<std::string, CMC_enum>> to;
  for (auto& o : a.options) {
    if (o.first == "--to") to.emplace_back(o.second, CMC_ROLE_TO);
    if (o.first == "--cc") to.emplace_back(o.second, CMC_ROLE_CC);
    if (o.first == "--bcc") to.emplace_back(o.second, CMC_ROLE_BCC);
  }
  if (to.empty()) return Fail("send needs at least one recipient: --to NAME");
  for (auto& t : to)
    if (t.first.empty()) return Fail("send: an empty recipient name");
  std::vector<std::string> files;
  for (const std::string& f : a.GetAll("--attach")) {
    std::string abs = AbsolutePath(f);
    if (!CheckReadable(abs, "send")) return 1;
    files.push_back(abs);
  }
  std::string text;
  if (a.Has("--text")) {
    text = a.Get("--text");
  } else {
    ReadAllStdin(&text);
  }
  text = ToMessageText(text);
  std::string subject = a.Get("--subject");

  MailSession s;
  if (!OpenSession(a, &s)) return 1;

  std::vector<std::string> names;
  names.reserve(to.size());
  for (auto& t : to) names.push_back(t.first);
  std::vector<CMC_recipient> recips(to.size());
  for (size_t i = 0; i < to.size(); ++i) {
    recips[i] = CMC_recipient{};
    recips[i].name = Mutable(names[i]);
    recips[i].address = Mutable(names[i]);
    recips[i].name_type = CMC_TYPE_INDIVIDUAL;
    recips[i].role = to[i].second;
  }
  recips.back().recip_flags = CMC_RECIP_LAST_ELEMENT;

  std::vector<std::string> titles;
  titles.reserve(files.size());
  for (auto& f : files) titles.push_back(SafeTitle(BaseName(f)));
  std::vector<CMC_attachment> atts(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    atts[i] = CMC_attachment{};
    atts[i].attach_title = Mutable(titles[i]);
    atts[i].attach_filename = Mutable(files[i]);
  }
  if (!atts.empty()) atts.back().attach_flags = CMC_ATT_LAST_ELEMENT;

  std::string type = "CMC: IPM";
  CMC_message m{};
  m.message_type = Mutable(type);
  m.subject = subject.empty() ? nullptr : Mutable(subject);
  m.text_note = text.empty() ? nullptr : Mutable(text);
  m.recipients = recips.data();
  m.attachments = atts.empty() ? nullptr : atts.data();
  m.message_flags = CMC_MSG_LAST_ELEMENT;

  CMC_return_code r = cmc_send(s.id, &m, 0, 0, nullptr);
  if (r != CMC_SUCCESS) return FailCode(SendFailure(r), r);
  std::string list;
  for (auto& n : names) list += (list.empty() ? "" : ", ") + n;
  std::cout << "sent to " << list;
  if (!files.empty()) std::cout << " with " << files.size() << (files.size() == 1 ? " attachment" : " attachments");
  std::cout << "\n";
  return 0;
}

int CmdList(const Args& a) {
  if (!a.positional.empty()) return Fail("list takes no arguments");
  MailSession s;
  if (!OpenSession(a, &s)) return 1;
  std::vector<Summary> all;
  CMC_return_code r = ListAll(s.id, &all);
  // The directory's order means nothing to a reader: oldest first.
  std::stable_sort(all.begin(), all.end(), [](const Summary& x, const Summary& y) { return x.when < y.when; });
  std::vector<std::string> refs;
  for (auto& m : all) refs.push_back(m.ref);
  std::string user = SessionUser(&s);
  if (!SaveListing(user, refs)) std::cerr << "vkmsg: list: cannot keep the listing in " << StatePath(user) << "\n";
  bool with_refs = a.Has("--refs");
  if (all.empty() && r == CMC_SUCCESS) {
    std::cout << "no messages for " << user << "\n";
    return 0;
  }
  if (!all.empty()) {
    std::printf("%4s  %-4s  %-16s  %-16s  %s\n", "#", "", "FROM", "DATE", "SUBJECT");
    for (size_t i = 0; i < all.size(); ++i) {
      const Summary& m = all[i];
      std::printf("%4zu  %-4s  %-16s  %-16s  %s\n", i + 1, m.read ? "" : "new", Cut(m.from, 16).c_str(),
                  m.date.c_str(), m.subject.empty() ? "(no subject)" : m.subject.c_str());
      if (with_refs) std::printf("      %s\n", m.ref.c_str());
    }
  }
  if (r != CMC_SUCCESS) return FailCode("list: a message could not be read; the listing stops there", r);
  return 0;
}

int CmdRead(const Args& a) {
  if (!OneMessageArg(a, "read")) return 1;
  MailSession s;
  if (!OpenSession(a, &s)) return 1;
  std::string ref_text;
  if (!ResolveMessage(&s, a, "read", &ref_text)) return 1;
  Reference ref = MakeReference(ref_text);
  CMC_message* m = nullptr;
  CMC_flags flags = a.Has("--keep-unread") ? CMC_DO_NOT_MARK_AS_READ : 0;
  CMC_return_code r = cmc_read(s.id, ref.get(), flags, &m, 0, nullptr);
  if (r != CMC_SUCCESS) {
    if (m) cmc_free(m);
    if (r == CMC_E_INVALID_MESSAGE_REFERENCE) return FailCode("read: no such message (deleted?)", r);
    return FailCode("read", r);
  }
  std::string from = JoinRecipients(m, CMC_ROLE_ORIGINATOR);
  std::string to = JoinRecipients(m, CMC_ROLE_TO);
  std::string cc = JoinRecipients(m, CMC_ROLE_CC);
  std::cout << "From:    " << (from.empty() ? "-" : from) << "\n";
  std::cout << "To:      " << (to.empty() ? "-" : to) << "\n";
  if (!cc.empty()) std::cout << "Cc:      " << cc << "\n";
  std::cout << "Date:    " << FormatTime(m->time_sent) << "\n";
  std::cout << "Subject: " << (m->subject ? m->subject : "") << "\n";
  if (m->attachments) {
    for (const CMC_attachment* at = m->attachments;; ++at) {
      std::cout << "Attachment: " << (at->attach_title ? at->attach_title : "(untitled)") << "  "
                << (at->attach_filename ? at->attach_filename : "?") << "\n";
      if (at->attach_flags & CMC_ATT_LAST_ELEMENT) break;
    }
  }
  std::cout << "\n" << ToTerminal(m->text_note);
  std::string body = ToTerminal(m->text_note);
  if (!body.empty() && body.back() != '\n') std::cout << "\n";
  std::cout << std::flush;
  cmc_free(m);
  return 0;
}

int CmdDelete(const Args& a) {
  if (!OneMessageArg(a, "delete")) return 1;
  MailSession s;
  if (!OpenSession(a, &s)) return 1;
  std::string ref_text;
  if (!ResolveMessage(&s, a, "delete", &ref_text)) return 1;
  Reference ref = MakeReference(ref_text);
  CMC_return_code r = cmc_act_on(s.id, ref.get(), CMC_ACT_ON_DELETE, 0, 0, nullptr);
  if (r == CMC_E_INVALID_MESSAGE_REFERENCE) return FailCode("delete: no such message (deleted already?)", r);
  if (r != CMC_SUCCESS) return FailCode("delete", r);
  std::cout << "deleted " << (AllDigits(a.positional[0]) ? "message " + a.positional[0] : ref_text) << "\n";
  return 0;
}

int CmdLookup(const Args& a) {
  if (a.positional.size() > 1) return Fail("lookup takes one name: vkmsg lookup [NAME]");
  MailSession s;
  if (!OpenSession(a, &s)) return 1;
  CMC_uint32 count = 0;
  CMC_recipient* out = nullptr;
  CMC_return_code r;
  std::string name;
  if (a.positional.empty()) {
    r = cmc_look_up(s.id, nullptr, CMC_LOOKUP_RESOLVE_IDENTITY, 0, &count, &out, nullptr);
  } else {
    name = a.positional[0];
    CMC_recipient in{};
    in.name = Mutable(name);
    in.recip_flags = CMC_RECIP_LAST_ELEMENT;
    r = cmc_look_up(s.id, &in, 0, 0, &count, &out, nullptr);
  }
  if (r != CMC_SUCCESS) {
    if (out) cmc_free(out);
    if (r == CMC_E_RECIPIENT_NOT_FOUND) return FailCode("lookup: '" + name + "' is not a user of this mail tree", r);
    return FailCode("lookup", r);
  }
  for (CMC_uint32 i = 0; i < count; ++i) {
    std::cout << OrDash(out[i].name);
    if (out[i].address) std::cout << " <" << out[i].address << ">";
    std::cout << "\n";
  }
  if (out) cmc_free(out);
  return 0;
}

int CmdSendDocuments(const Args& a) {
  if (!a.positional.empty()) return Fail("send-documents takes its recipients with --to");
  std::vector<std::string> to = a.GetAll("--to");
  if (to.empty()) return Fail("send-documents needs at least one recipient: --to NAME");
  const char delim = ';';
  std::string recips, paths, names;
  for (auto& t : to) {
    if (t.empty() || t.find(delim) != std::string::npos) return Fail("send-documents: bad recipient '" + t + "'");
    recips += (recips.empty() ? "" : ";") + t;
  }
  for (const std::string& f : a.GetAll("--attach")) {
    std::string abs = AbsolutePath(f);
    if (abs.find(delim) != std::string::npos)
      return Fail("send-documents: a path with ';' cannot be sent this way: " + abs);
    if (!CheckReadable(abs, "send-documents")) return 1;
    paths += (paths.empty() ? "" : ";") + abs;
    names += (names.empty() ? "" : ";") + SafeTitle(BaseName(abs));
  }
  bool first_as_text = a.Has("--first-as-text");
  if (first_as_text && paths.empty()) return Fail("send-documents: --first-as-text needs an --attach FILE");
  std::string text = ToMessageText(a.Get("--text"));
  std::string subject = a.Get("--subject");
  std::string delimiter(1, delim);

  MailSession s;
  if (!OpenSession(a, &s)) return 1;
  CMC_return_code r = cmc_send_documents(Mutable(recips), subject.empty() ? nullptr : Mutable(subject),
                                         a.Has("--text") ? Mutable(text) : nullptr,
                                         first_as_text ? CMC_FIRST_ATTACH_AS_TEXT_NOTE : 0,
                                         paths.empty() ? nullptr : Mutable(paths),
                                         names.empty() ? nullptr : Mutable(names), Mutable(delimiter), 0);
  if (r != CMC_SUCCESS) {
    if (r == CMC_E_RECIPIENT_NOT_FOUND)
      return FailCode("send-documents: a recipient is not a user of this mail tree", r);
    return FailCode("send-documents", r);
  }
  std::string list;
  for (auto& t : to) list += (list.empty() ? "" : ", ") + t;
  std::cout << "sent to " << list << "\n";
  return 0;
}

}  // namespace cli
