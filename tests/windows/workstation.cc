// One call of a Windows workstation per run, through the DLL's exports as a
// host makes them; logs on as VKMSG_USER/VKMSG_PASSWORD.  Exit 0 on success.
//   workstation setup|isdir DIR | adduser (NAME PASSWORD)... | checkpw NAME PASSWORD
//   workstation send TO SUBJECT FILE [COUNT] | list | read SUBJECT | delete SUBJECT
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "vkmsg/vkmsg.h"

namespace {

// Plays the login dialog; any other (the locate dialog of a workstation
// whose tree is unusable) is closed, so a run fails instead of waiting.
void Login(void*, VkDialog* d) {
  if (vk_dialog_template(d) != 1001 && vk_dialog_template(d) != 1006) return;
  vk_dialog_set_text(d, 1501, std::getenv("VKMSG_USER"));
  vk_dialog_set_text(d, 1502, std::getenv("VKMSG_PASSWORD"));
  vk_dialog_click(d, 1);
}

int Mail(CMC_session_id s, int argc, char** argv) {
  std::string op = argv[1];
  CMC_message_summary* list = nullptr;
  if (op == "send" && argc >= 5) {
    CMC_recipient to = {argv[2], CMC_TYPE_INDIVIDUAL, argv[2], CMC_ROLE_TO, CMC_RECIP_LAST_ELEMENT, nullptr};
    char* title = std::strrchr(argv[4], '\\');
    CMC_attachment file = {title ? title + 1 : argv[4], nullptr, argv[4], CMC_ATT_LAST_ELEMENT, nullptr};
    CMC_message m = {};
    m.subject = argv[3];
    m.text_note = argv[3];
    m.recipients = &to;
    m.attachments = &file;
    for (int i = 0, n = argc > 5 ? std::atoi(argv[5]) : 1; i < n; ++i) {
      CMC_return_code r = cmc_send(s, &m, 0, 0, nullptr);
      if (r != CMC_SUCCESS) return std::printf("cmc_send: %u\n", static_cast<unsigned>(r)), 1;
    }
    return 0;
  }
  CMC_uint32 count = 0;
  if (cmc_list(s, nullptr, 0, nullptr, &count, 0, &list, nullptr) != CMC_SUCCESS) return 1;
  CMC_message_reference* ref = nullptr;
  for (CMC_uint32 i = 0; i < count; ++i) {
    std::printf("%s %s\n", list[i].subject, (list[i].summary_flags & CMC_SUM_READ) ? "read" : "new");
    if (argc > 2 && std::strcmp(list[i].subject, argv[2]) == 0) ref = list[i].message_reference;
  }
  CMC_message* read = nullptr;
  int failed = op != "list" && ref == nullptr;
  if (!failed && op == "read") {
    failed = cmc_read(s, ref, 0, &read, 0, nullptr) != CMC_SUCCESS || !read->attachments;
    if (!failed) std::printf("text %s\nattachment %s\n", read->text_note, read->attachments->attach_filename);
  } else if (!failed && op == "delete") {
    failed = cmc_act_on(s, ref, CMC_ACT_ON_DELETE, 0, 0, nullptr) != CMC_SUCCESS;
  }
  cmc_free(read);
  cmc_free(list);
  return failed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  vk_set_dialog_driver(Login, nullptr);
  std::string op = argv[1];
  if (op == "setup" && argc == 3) return bSetupMHSDirs(argv[2]) == 1 ? 0 : 1;
  if (op == "isdir" && argc == 3) return isVeskMsgDir(argv[2]) ? 0 : 1;
  if (op == "checkpw" && argc == 4) return bCheckPW(argv[2], argv[3]) ? 0 : 1;
  if (op == "adduser") {
    for (int i = 2; i + 1 < argc; i += 2)
      if (!bAddUser(argv[i], argv[i + 1])) return 1;
    return 0;
  }
  CMC_session_id s = 0;
  if (cmc_logon(nullptr, nullptr, nullptr, nullptr, 0, 100, 0, &s, nullptr) != CMC_SUCCESS) return 1;
  int r = Mail(s, argc, argv);
  cmc_logoff(s, 0, 0, nullptr);
  return r;
}
