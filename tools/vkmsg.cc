// vkmsg: the command-line face of the library, for setting up a mail tree,
// administering its users and using the mail from a terminal.  It uses the
// library only through its public exports, as any host would.
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <string>

#include "cli.h"

namespace cli {

namespace {

const char* const kCodeNames[] = {
    "CMC_SUCCESS",
    "CMC_E_AMBIGUOUS_RECIPIENT",
    "CMC_E_ATTACHMENT_NOT_FOUND",
    "CMC_E_ATTACHMENT_OPEN_FAILURE",
    "CMC_E_ATTACHMENT_READ_FAILURE",
    "CMC_E_ATTACHMENT_WRITE_FAILURE",
    "CMC_E_COUNTED_STRING_UNSUPPORTED",
    "CMC_E_DISK_FULL",
    "CMC_E_FAILURE",
    "CMC_E_INSUFFICIENT_MEMORY",
    "CMC_E_INVALID_CONFIGURATION",
    "CMC_E_INVALID_ENUM",
    "CMC_E_INVALID_FLAG",
    "CMC_E_INVALID_MEMORY",
    "CMC_E_INVALID_MESSAGE_PARAMETER",
    "CMC_E_INVALID_MESSAGE_REFERENCE",
    "CMC_E_INVALID_PARAMETER",
    "CMC_E_INVALID_SESSION_ID",
    "CMC_E_INVALID_UI_ID",
    "CMC_E_LOGON_FAILURE",
    "CMC_E_MESSAGE_IN_USE",
    "CMC_E_NOT_SUPPORTED",
    "CMC_E_PASSWORD_REQUIRED",
    "CMC_E_RECIPIENT_NOT_FOUND",
    "CMC_E_SERVICE_UNAVAILABLE",
    "CMC_E_TEXT_TOO_LARGE",
    "CMC_E_TOO_MANY_FILES",
    "CMC_E_TOO_MANY_RECIPIENTS",
    "CMC_E_UNABLE_TO_NOT_MARK_AS_READ",
    "CMC_E_UNRECOGNIZED_MESSAGE_TYPE",
    "CMC_E_UNSUPPORTED_ACTION",
    "CMC_E_UNSUPPORTED_CHARACTER_SET",
    "CMC_E_UNSUPPORTED_DATA_EXT",
    "CMC_E_UNSUPPORTED_FLAG",
    "CMC_E_UNSUPPORTED_FUNCTION_EXT",
    "CMC_E_UNSUPPORTED_VERSION",
    "CMC_E_USER_CANCEL",
    "CMC_E_USER_NOT_LOGGED_ON",
};

const char* const kFlags[] = {"--keep-unread", "--refs", "--first-as-text", "--help"};

int Usage() {
  std::cerr << "usage: vkmsg COMMAND [options]\n"
               "  setup DIR                      create a mail tree in DIR and point this workstation at it\n"
               "  add-user NAME [--password P]   register a user\n"
               "  remove-user NAME               remove a user and his directories\n"
               "  users                          list the registered users\n"
               "  logon [--user U] [--password P]  log on through the login dialog\n"
#ifdef VKMSG_CLI_MAIL
               "  send --to NAME... [--cc NAME] [--bcc NAME] [--subject S] [--attach FILE]... [--text T]\n"
               "                                 (without --text the text is read from standard input)\n"
               "  list [--refs]                  list the mailbox (N below counts in this listing)\n"
               "  read N|REF [--keep-unread]     show a message (and mark it read)\n"
               "  delete N|REF                   delete a message with its attachments\n"
               "  lookup [NAME]                  resolve a name to a recipient (no NAME: who am I)\n"
               "  send-documents --to NAME... [--attach FILE]... [--subject S] [--text T] [--first-as-text]\n"
               "  (mail commands log on with --user/--password, or VKMSG_USER/VKMSG_PASSWORD, or ask)\n"
#endif
               "The workstation profile is $VKMSG_WININI, else ~/.config/vkmsg/win.ini.\n";
  return 2;
}

std::string Absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char cwd[PATH_MAX];
  if (!getcwd(cwd, sizeof cwd)) return path;
  std::string out = cwd;
  if (path == ".") return out;
  return out + "/" + path;
}

bool MakeDirs(const std::string& path) {
  std::string sofar;
  size_t i = 0;
  while (i <= path.size()) {
    size_t j = path.find('/', i);
    if (j == std::string::npos) j = path.size();
    sofar = path.substr(0, j);
    if (!sofar.empty()) {
      struct stat st;
      if (stat(sofar.c_str(), &st) != 0 && mkdir(sofar.c_str(), 0777) != 0) return false;
    }
    i = j + 1;
  }
  return true;
}

}  // namespace

bool Args::Has(const std::string& name) const {
  for (auto& o : options)
    if (o.first == name) return true;
  return false;
}

std::string Args::Get(const std::string& name, const std::string& def) const {
  std::string v = def;
  for (auto& o : options)
    if (o.first == name) v = o.second;
  return v;
}

std::vector<std::string> Args::GetAll(const std::string& name) const {
  std::vector<std::string> v;
  for (auto& o : options)
    if (o.first == name) v.push_back(o.second);
  return v;
}

bool IsFlag(const std::string& name) {
  for (const char* f : kFlags)
    if (name == f) return true;
  return false;
}

bool ParseArgs(int argc, char** argv, int first, Args* out) {
  for (int i = first; i < argc; ++i) {
    std::string w = argv[i];
    if (w.size() > 2 && w.compare(0, 2, "--") == 0) {
      size_t eq = w.find('=');
      if (eq != std::string::npos) {
        out->options.emplace_back(w.substr(0, eq), w.substr(eq + 1));
      } else if (IsFlag(w)) {
        out->options.emplace_back(w, "");
      } else if (i + 1 < argc) {
        out->options.emplace_back(w, argv[++i]);
      } else {
        Fail("option " + w + " needs a value");
        return false;
      }
    } else {
      out->positional.push_back(w);
    }
  }
  return true;
}

const char* CodeName(CMC_return_code code) {
  if (code < sizeof kCodeNames / sizeof kCodeNames[0]) return kCodeNames[code];
  return "unknown CMC code";
}

int Fail(const std::string& text) {
  std::cerr << "vkmsg: " << text << "\n";
  return 1;
}

int FailCode(const std::string& what, CMC_return_code code) {
  return Fail(what + ": " + CodeName(code) + " (" + std::to_string(code) + ")");
}

bool StdinIsTerminal() { return isatty(0) != 0; }

bool ReadLine(const std::string& prompt, bool hidden, std::string* line) {
  bool tty = StdinIsTerminal();
  if (tty) {
    std::cout << prompt << std::flush;
  }
  termios saved{};
  bool restore = false;
  if (hidden && tty && tcgetattr(0, &saved) == 0) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    restore = tcsetattr(0, TCSAFLUSH, &quiet) == 0;
  }
  bool ok = static_cast<bool>(std::getline(std::cin, *line));
  if (restore) {
    tcsetattr(0, TCSAFLUSH, &saved);
    std::cout << "\n";
  }
  if (ok && !line->empty() && line->back() == '\r') line->pop_back();
  return ok;
}

void PlayerFromArgs(const Args& a, DialogPlayer* p) {
  const char* env_user = std::getenv("VKMSG_USER");
  const char* env_password = std::getenv("VKMSG_PASSWORD");
  if (a.Has("--user")) {
    p->user = a.Get("--user");
    p->have_user = true;
  } else if (env_user) {
    p->user = env_user;
    p->have_user = true;
  }
  if (a.Has("--password")) {
    p->password = a.Get("--password");
    p->have_password = true;
  } else if (env_password) {
    p->password = env_password;
    p->have_password = true;
  }
  p->interactive = StdinIsTerminal();
}

int CmdSetup(const Args& a) {
  if (a.positional.size() != 1) return Fail("setup needs one directory: vkmsg setup DIR");
  std::string root = Absolute(a.positional[0]);
  if (!MakeDirs(root)) return Fail("setup: cannot create the directory " + root);
  int r = bSetupMHSDirs(root.c_str());
  if (r == 0) return Fail("setup: " + root + " is not a usable directory or the user registry cannot be created");
  if (r == 8) return FailCode("setup: a directory of the mail tree could not be created", CMC_E_FAILURE);
  std::cout << "mail tree set up in " << root << "/MHS/MAIL (administrator: admin)\n";
  return 0;
}

int CmdAddUser(const Args& a) {
  if (a.positional.size() != 1) return Fail("add-user needs one user name: vkmsg add-user NAME [--password P]");
  std::string password;
  if (a.Has("--password")) {
    password = a.Get("--password");
  } else if (StdinIsTerminal()) {
    std::string again;
    if (!ReadLine("Password for " + a.positional[0] + ": ", true, &password) || !ReadLine("Again: ", true, &again))
      return Fail("add-user: no password given");
    if (password != again) return Fail("add-user: the two passwords differ");
  } else if (!ReadLine("", false, &password)) {
    password.clear();
  }
  if (!bAddUser(a.positional[0].c_str(), password.c_str()))
    return Fail("add-user: '" + a.positional[0] +
                "' was not added (a name the registry refuses, or no usable mail tree)");
  std::cout << "user " << a.positional[0] << " added\n";
  return 0;
}

int CmdRemoveUser(const Args& a) {
  if (a.positional.size() != 1) return Fail("remove-user needs one user name: vkmsg remove-user NAME");
  if (!bRemUser(a.positional[0].c_str()))
    return Fail("remove-user: '" + a.positional[0] + "' was not removed (no such user, or no usable mail tree)");
  std::cout << "user " << a.positional[0] << " removed\n";
  return 0;
}

int CmdUsers(const Args& a) {
  if (!a.positional.empty()) return Fail("users takes no arguments");
  NameList* list = lpmnlGetUserList(0);
  if (!list) return Fail("users: no user list (no usable mail tree?)");
  for (unsigned i = 0; i < list->count; ++i) std::cout << list->slots[i] << "\n";
  vk_free_name_list(list);
  return 0;
}

int CmdLogon(const Args& a) {
  DialogPlayer player;
  PlayerFromArgs(a, &player);
  CMC_session_id session = 0;
  CMC_return_code r = Logon(&player, &session);
  if (r != CMC_SUCCESS) return 1;
  std::cout << "logged on, session " << session << "\n";
  cmc_logoff(session, 0, 0, nullptr);
  return 0;
}

}  // namespace cli

int main(int argc, char** argv) {
  if (argc < 2) return cli::Usage();
  std::string cmd = argv[1];
  cli::Args args;
  if (cmd == "--help" || cmd == "help" || cmd == "-h") {
    cli::Usage();
    return 0;
  }
  if (!cli::ParseArgs(argc, argv, 2, &args)) return 2;
  using Cmd = int (*)(const cli::Args&);
  static const std::map<std::string, Cmd> commands = {
      {"setup", cli::CmdSetup},   {"add-user", cli::CmdAddUser}, {"remove-user", cli::CmdRemoveUser},
      {"users", cli::CmdUsers},   {"logon", cli::CmdLogon},
#ifdef VKMSG_CLI_MAIL
      {"send", cli::CmdSend},     {"list", cli::CmdList},        {"read", cli::CmdRead},
      {"delete", cli::CmdDelete}, {"lookup", cli::CmdLookup},    {"send-documents", cli::CmdSendDocuments},
#endif
  };
  auto it = commands.find(cmd);
  if (it == commands.end()) {
    cli::Fail("unknown command '" + cmd + "'");
    return cli::Usage();
  }
  return it->second(args);
}
