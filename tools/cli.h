// Shared pieces of the vkmsg command-line tool.
#ifndef VKMSG_TOOLS_CLI_H
#define VKMSG_TOOLS_CLI_H

#include <string>
#include <vector>

#include "vkmsg/vkmsg.h"

namespace cli {

// The command line after the command word: options with values, flags and
// positional words.
struct Args {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;  // "--to" -> "ann", repeated allowed
  bool Has(const std::string& name) const;
  // The last value given for the option, or `def`.
  std::string Get(const std::string& name, const std::string& def = "") const;
  std::vector<std::string> GetAll(const std::string& name) const;
};

// One command of the tool.  Help, usage, the options each command accepts
// and the manual page are all made from the table of these in vkmsg.cc, one
// line per command, so they cannot disagree.  An option is known to a
// command exactly when its `args` name it: "--to NAME" takes a value,
// "--refs" does not.
struct Command {
  const char* name;
  int (*run)(const Args&);
  const char* args;     // as the usage shows them: "NAME [--password P]"
  const char* summary;  // one line, lower case, no full stop
  bool logs_on;         // also takes kLogonOptions
};
constexpr const char* kLogonOptions = "[--user U] [--password P]";
extern const Command kCommands[];
extern const size_t kCommandCount;

// Exit statuses: done; failed (the library refused, or the arguments were
// not usable); the command line itself was malformed.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Parses argv[first..] for command `c`: kParsed, kHelpAsked (--help or -h
// among the words), or kExitUsage after printing what was wrong.
constexpr int kParsed = -1;
constexpr int kHelpAsked = -2;
int ParseArgs(int argc, char** argv, int first, const Command& c, Args* out);

// The CMC return code's name ("CMC_E_USER_CANCEL").
const char* CodeName(CMC_return_code code);

// Prints "vkmsg: <text>" to stderr; returns the exit status 1.
int Fail(const std::string& text);
// Prints "vkmsg: <what>: <CODE_NAME> (<n>)" and returns 1.
int FailCode(const std::string& what, CMC_return_code code);

// Reads one line from stdin (without the newline); false at end of input.
// With `hidden` and a terminal, the typed characters are not echoed.
bool ReadLine(const std::string& prompt, bool hidden, std::string* line);
bool StdinIsTerminal();

// The dialog driver that plays any of the library's dialogs in the terminal
// (cli_dialogs.cc): on a terminal it asks the user; with `scripted` it reads
// the same answers from a non-interactive stdin, one line per question;
// otherwise a dialog is closed unanswered.  Logon sets `confirm_first` when
// --user and --password filled the login dialog: the first dialog that asks
// for a password is then confirmed without asking.
struct DialogPlayer {
  std::string user;
  std::string password;
  bool have_user = false;
  bool have_password = false;
  bool interactive = true;
  bool scripted = false;
  bool confirm_first = false;
};
void InstallDialogPlayer(DialogPlayer* player);
// Plays one dialog as the installed player would; the id of the button that
// ended it, 0 when it ended otherwise (closed, or the input ran out).
int PlayDialog(DialogPlayer* player, VkDialog* d);

// Logs on with the dialog player; prints the failure itself.  0 on success.
CMC_return_code Logon(DialogPlayer* player, CMC_session_id* session);

// Commands.
int CmdSetup(const Args& a);
int CmdAddUser(const Args& a);
int CmdRemoveUser(const Args& a);
int CmdUsers(const Args& a);
int CmdLogon(const Args& a);
int CmdCheck(const Args& a);
// cli_admin.cc: the administer users dialog and the change password door.
int CmdAdmin(const Args& a);
int CmdPasswd(const Args& a);

// Mail commands (cli_send.cc, cli_list.cc, cli_read.cc, cli_lookup.cc).
int CmdSend(const Args& a);
int CmdList(const Args& a);
int CmdRead(const Args& a);
int CmdDelete(const Args& a);
int CmdLookup(const Args& a);
int CmdSendDocuments(const Args& a);

// Fills a DialogPlayer from --user/--password and whether stdin is a terminal.
void PlayerFromArgs(const Args& a, DialogPlayer* p);

}  // namespace cli

#endif
