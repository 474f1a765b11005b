// What the mail commands of the vkmsg tool share: text and path helpers,
// the logged-on session of one command, the saved listing that message
// numbers refer to, and the paged listing of a mailbox.
#ifndef VKMSG_TOOLS_CLI_MAIL_H
#define VKMSG_TOOLS_CLI_MAIL_H

#include <cstddef>
#include <string>
#include <vector>

#include "cli.h"

namespace cli {

// Text and paths (cli_text.cc).
char* Mutable(std::string& s);
std::string Lower(std::string s);
// `path` from the root: a relative one is taken from the current directory.
std::string AbsolutePath(const std::string& path);
// What follows the last '/' or '\\'.
std::string BaseName(const std::string& path);
// An attachment title travels in a header list whose items are separated by
// commas and blanks; a title holding one would split into several and shift
// every later title onto the wrong file, so those characters become '_'.
// Never empty.
std::string SafeTitle(const std::string& name);
// Message files end their lines with CR LF; the terminal wants LF.
std::string ToTerminal(const char* text);
// Typed text as a message body: lines end in CR LF, and one final line end
// is dropped (the writer ends the body with its own).
std::string ToMessageText(const std::string& in);
// "YYYY-MM-DD HH:MM", or "-" for a time that was never set.
std::string FormatTime(const CMC_time& t);
// `s`, or "-" for null or empty.
std::string OrDash(const char* s);
// `s` cut to `width` characters, a cut one ending in "~".
std::string Cut(const std::string& s, size_t width);
// The recipients of `m` with `role`, each by address else name, joined by
// ", ".
std::string JoinRecipients(const CMC_message* m, CMC_enum role);
// Whether `path` is a regular file; when not, says so for `cmd`.
bool CheckReadable(const std::string& path, const char* cmd);

// The session of one command (cli_session.cc).
//
// A message reference as the calls take it: the length word, the text and a
// terminating zero.
struct Reference {
  std::vector<char> bytes;
  CMC_message_reference* get() { return reinterpret_cast<CMC_message_reference*>(bytes.data()); }
};
Reference MakeReference(const std::string& text);
std::string ReferenceText(const CMC_message_reference* ref);
// The logged-on session of one command; logs off when it goes.
struct MailSession {
  DialogPlayer player;
  CMC_session_id id = 0;
  ~MailSession() {
    if (id) cmc_logoff(id, 0, 0, nullptr);
  }
};
// Logs on with the player filled from the arguments; false (the failure
// printed) when that did not work.
bool OpenSession(const Args& a, MailSession* s);
// The name of the logged-on user: the library's own answer, else what was
// typed (logon folds names to small letters).
std::string SessionUser(MailSession* s);

// Commands that play the library's addressing and locate dialogs
// (cli_pick.cc, cli_locate.cc).
int CmdPick(const Args& a);
int CmdLocate(const Args& a);

// The saved listing (cli_listing.cc): the references of the user's last
// listing, in its order, in a small file beside the workstation profile.
std::string StatePath(const std::string& user);
bool SaveListing(const std::string& user, const std::vector<std::string>& refs);
std::vector<std::string> LoadListing(const std::string& user);
// Whether `s` is a message number: one to six digits.
bool AllDigits(const std::string& s);
// Whether the command got its one message argument: N (a position of the
// last listing, from 1) or a reference as --refs printed it; says what is
// wanted when not.
bool OneMessageArg(const Args& a, const char* cmd);
// The reference the message argument names; false, with the reason printed,
// when a number names no message of the last listing.
bool ResolveMessage(MailSession* s, const Args& a, const char* cmd, std::string* ref);

// The whole mailbox (cli_paging.cc).
struct Summary {
  std::string ref;
  bool read = false;
  std::string from;
  std::string date;
  std::string subject;
  long long when = 0;  // sortable time sent
};
// Every summary of the mailbox, page by page.  A failed page keeps what came
// before it.
CMC_return_code ListAll(CMC_session_id session, std::vector<Summary>* out);

}  // namespace cli

#endif
