// The commands that send: send (a message typed or given with --text, with
// attachments) and send-documents (the simple document send).
#include <iostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli_mail.h"

namespace cli {

namespace {

bool ReadAllStdin(std::string* text) {
  if (StdinIsTerminal()) std::cerr << "Type the message; end it with Ctrl-D on a line of its own.\n";
  std::ostringstream ss;
  ss << std::cin.rdbuf();
  *text = ss.str();
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
  // The compose dialog picks the recipients itself.
  const bool edit = a.Has("--edit");
  if (to.empty() && !edit) return Fail("send needs at least one recipient: --to NAME (or --edit)");
  for (auto& t : to)
    if (t.first.empty()) return Fail("send: an empty recipient name");
  std::vector<std::string> files;
  for (const std::string& f : a.GetAll("--attach")) {
    std::string abs = AbsolutePath(f);
    if (!CheckReadable(abs, "send")) return 1;
    files.push_back(abs);
  }
  std::string text;
  if (a.Has("--text") || edit) {
    text = a.Get("--text");
  } else {
    ReadAllStdin(&text);
  }
  text = ToMessageText(text);
  std::string subject = a.Get("--subject");

  MailSession s;
  if (!OpenSession(a, &s)) return 1;
  s.player.scripted = edit && !s.player.interactive;

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
  if (!recips.empty()) recips.back().recip_flags = CMC_RECIP_LAST_ELEMENT;

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
  m.recipients = recips.empty() ? nullptr : recips.data();
  m.attachments = atts.empty() ? nullptr : atts.data();
  m.message_flags = CMC_MSG_LAST_ELEMENT;

  CMC_return_code r = cmc_send(s.id, &m, edit ? CMC_SEND_UI_REQUESTED : 0, 0, nullptr);
  if (r == CMC_E_USER_CANCEL && edit) return FailCode("send: the message was not sent", r);
  if (r != CMC_SUCCESS) return FailCode(SendFailure(r), r);
  if (edit) {
    std::cout << "sent\n";
    return 0;
  }
  std::string list;
  for (auto& n : names) list += (list.empty() ? "" : ", ") + n;
  std::cout << "sent to " << list;
  if (!files.empty()) std::cout << " with " << files.size() << (files.size() == 1 ? " attachment" : " attachments");
  std::cout << "\n";
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
  CMC_return_code r = cmc_send_documents(
      Mutable(recips), subject.empty() ? nullptr : Mutable(subject), a.Has("--text") ? Mutable(text) : nullptr,
      first_as_text ? CMC_FIRST_ATTACH_AS_TEXT_NOTE : 0, paths.empty() ? nullptr : Mutable(paths),
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
