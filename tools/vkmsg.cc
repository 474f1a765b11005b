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
#include <cctype>
#include <string>

#include "cli.h"
#include "cli_mail.h"

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

const Command* FindCommand(const std::string& name) {
  for (size_t i = 0; i < kCommandCount; ++i)
    if (name == kCommands[i].name) return &kCommands[i];
  return nullptr;
}

// The whole help, on standard output.  tools/man/make-man turns exactly this
// text into the manual page: a line ending in ':' opens a section, a line
// indented by two spaces names an item, one indented by six describes it.
void Help() {
  std::cout << "usage: vkmsg COMMAND [ARGUMENTS]\n"
               "       vkmsg help [COMMAND]\n"
               "       vkmsg --version\n"
               "\n"
               "vkmsg sets up a mail tree on a shared drive, administers its users and\n"
               "uses the mail in it from a terminal, as one workstation of the workgroup.\n"
               "\n"
               "Commands:\n";
  for (size_t i = 0; i < kCommandCount; ++i) {
    const Command& c = kCommands[i];
    std::cout << "  " << c.name << (*c.args ? " " : "") << c.args << (c.logs_on ? " " : "")
              << (c.logs_on ? kLogonOptions : "") << "\n      " << c.summary << "\n";
  }
  std::cout << "\n"
               "Commands that log on take --user and --password, else VKMSG_USER and\n"
               "VKMSG_PASSWORD, else play the login dialog in the terminal; they log off\n"
               "when done.  N is a message's position in your last listing.  Every\n"
               "command takes --help.\n"
               "\n"
               "Environment:\n"
               "  VKMSG_WININI\n"
               "      the workstation profile (the WIN.INI of a Windows workstation); without\n"
               "      it $XDG_CONFIG_HOME/vkmsg/win.ini, else ~/.config/vkmsg/win.ini\n"
               "  VKMSG_USER, VKMSG_PASSWORD\n"
               "      the user and the password that commands log on with\n"
               "\n"
               "Exit status:\n"
               "  0\n"
               "      the command did what it was asked\n"
               "  1\n"
               "      it failed, or its arguments were not usable; one line on standard\n"
               "      error says why\n"
               "  2\n"
               "      the command line was malformed: an unknown command or option, or an\n"
               "      option without its value\n";
}

int CommandHelp(const Command& c) {
  std::cout << "usage: vkmsg " << c.name << (*c.args ? " " : "") << c.args << "\n  " << c.summary << "\n";
  if (c.logs_on) std::cout << "  logs on with " << kLogonOptions << ", else VKMSG_USER and VKMSG_PASSWORD\n";
  return kExitOk;
}

int UsageError(const Command& c, const std::string& text) {
  std::cerr << "vkmsg: " << c.name << ": " << text << " (see vkmsg help " << c.name << ")\n";
  return kExitUsage;
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

namespace {

// The options a command accepts, read off its usage: "--to NAME" takes a
// value, "--refs" does not.  Commands that log on also take the logon options.
bool KnownOption(const Command& c, const std::string& name, bool* takes_value) {
  std::string usage = c.args;
  if (c.logs_on) usage += " " + std::string(kLogonOptions);
  for (size_t at = usage.find("--"); at != std::string::npos; at = usage.find("--", at + 2)) {
    size_t end = usage.find_first_of(" ]", at);
    if (usage.compare(at, end == std::string::npos ? std::string::npos : end - at, name) != 0) continue;
    *takes_value = end != std::string::npos && usage[end] == ' ' && end + 1 < usage.size() &&
                   std::isupper(static_cast<unsigned char>(usage[end + 1]));
    return true;
  }
  return false;
}

}  // namespace

int ParseArgs(int argc, char** argv, int first, const Command& c, Args* out) {
  for (int i = first; i < argc; ++i) {
    std::string w = argv[i];
    if (w == "--help" || w == "-h") return kHelpAsked;
    if (w.size() > 2 && w.compare(0, 2, "--") == 0) {
      size_t eq = w.find('=');
      std::string name = w.substr(0, eq);
      bool takes_value = false;
      if (!KnownOption(c, name, &takes_value)) return UsageError(c, "unknown option " + name);
      if (eq != std::string::npos) {
        if (!takes_value) return UsageError(c, "option " + name + " takes no value");
        out->options.emplace_back(name, w.substr(eq + 1));
      } else if (!takes_value) {
        out->options.emplace_back(name, "");
      } else if (i + 1 < argc) {
        out->options.emplace_back(name, argv[++i]);
      } else {
        return UsageError(c, "option " + name + " needs a value");
      }
    } else {
      out->positional.push_back(w);
    }
  }
  return kParsed;
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
  p->scripted = !p->interactive;
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
  if (a.positional[0].size() > 8)
    return Fail("add-user: '" + a.positional[0] + "' is longer than 8 characters, more than the login dialog takes");
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

// The commands, one line each: name, function, arguments, summary, whether
// it logs on.
const Command kCommands[] = {
    {"setup", CmdSetup, "DIR", "create a mail tree in DIR and point this workstation at it", false},
    {"add-user", CmdAddUser, "NAME [--password P]", "register a user (without --password it is asked for)", false},
    {"remove-user", CmdRemoveUser, "NAME", "remove a user and his directories", false},
    {"users", CmdUsers, "", "list the registered users", false},
    {"logon", CmdLogon, "", "log on through the login dialog, played in the terminal", true},
    {"admin", CmdAdmin, "", "administer users: the administrator password, then the administer users dialog", false},
    {"check", CmdCheck, "[--repair]",
     "look through the mail tree for what failed sends and writes left behind; --repair removes it", false},
    {"passwd", CmdPasswd, "[--user U]", "change a user's password in the login dialog's change password dialog", false},
#ifdef VKMSG_CLI_MAIL
    {"send", CmdSend, "--to NAME... [--cc NAME] [--bcc NAME] [--subject S] [--attach FILE]... [--text T] [--edit]",
     "send a message; without --text the text is read from standard input; --edit composes it in the library's "
     "compose dialog, recipients picked there",
     true},
    {"list", CmdList, "[--refs]", "list the mailbox: read mark, sender, date, subject", true},
    {"read", CmdRead, "N|REF [--keep-unread]", "show a message with its attachment paths and mark it read", true},
    {"delete", CmdDelete, "N|REF", "delete a message with its attachments", true},
    {"lookup", CmdLookup, "[NAME]", "resolve a name to a recipient (without NAME: who am I)", true},
    {"pick", CmdPick, "[NAME]... [--prefix TEXT]",
     "pick recipients in the select-users dialog, starting from NAMEs, or among the users whose names begin with TEXT",
     true},
    {"locate", CmdLocate, "[DIR]",
     "locate a mail tree, or set up a new one, in the library's directory browser, and use it from then on", false},
    {"send-documents", CmdSendDocuments, "--to NAME... [--attach FILE]... [--subject S] [--text T] [--first-as-text]",
     "send files as a simple document message", true},
#endif
};
const size_t kCommandCount = sizeof kCommands / sizeof kCommands[0];

}  // namespace cli

int main(int argc, char** argv) {
  using namespace cli;
  std::string word = argc > 1 ? argv[1] : "";
  if (word == "--version") {
    std::cout << "vkmsg " << VKMSG_VERSION << "\n";
    return kExitOk;
  }
  if (word == "--help" || word == "-h" || (word == "help" && argc == 2)) {
    Help();
    return kExitOk;
  }
  if (word == "help") {
    const Command* c = FindCommand(argv[2]);
    if (c) return CommandHelp(*c);
    Fail(std::string("help: unknown command '") + argv[2] + "' (see vkmsg help)");
    return kExitUsage;
  }
  const Command* c = FindCommand(word);
  if (!c) {
    Fail(word.empty() ? "no command given (see vkmsg help)" : "unknown command '" + word + "' (see vkmsg help)");
    return kExitUsage;
  }
  Args args;
  int parsed = ParseArgs(argc, argv, 2, *c, &args);
  if (parsed == kHelpAsked) return CommandHelp(*c);
  if (parsed != kParsed) return parsed;
  return c->run(args);
}
