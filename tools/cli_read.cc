// The commands on one message: read and delete.
#include <iostream>
#include <string>

#include "cli_mail.h"

namespace cli {

namespace {
// The one message a command names, in a session opened for it; false when
// the command has already said why not.
bool OpenMessage(const Args& a, const char* command, MailSession* s, std::string* ref_text) {
  return OneMessageArg(a, command) && OpenSession(a, s) && ResolveMessage(s, a, command, ref_text);
}
}  // namespace

int CmdRead(const Args& a) {
  MailSession s;
  std::string ref_text;
  if (!OpenMessage(a, "read", &s, &ref_text)) return 1;
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
  const std::string body = ToTerminal(m->text_note);
  std::cout << "\n" << body;
  if (!body.empty() && body.back() != '\n') std::cout << "\n";
  std::cout << std::flush;
  cmc_free(m);
  return 0;
}

int CmdDelete(const Args& a) {
  MailSession s;
  std::string ref_text;
  if (!OpenMessage(a, "delete", &s, &ref_text)) return 1;
  Reference ref = MakeReference(ref_text);
  CMC_return_code r = cmc_act_on(s.id, ref.get(), CMC_ACT_ON_DELETE, 0, 0, nullptr);
  if (r == CMC_E_INVALID_MESSAGE_REFERENCE) return FailCode("delete: no such message (deleted already?)", r);
  if (r != CMC_SUCCESS) return FailCode("delete", r);
  std::cout << "deleted " << (AllDigits(a.positional[0]) ? "message " + a.positional[0] : ref_text) << "\n";
  return 0;
}

}  // namespace cli
