// The compose dialog.
#include "address/compose.h"

#include <cstring>

#include "address/local_ab.h"
#include "dialogs/place.h"
#include "dialogs/resources.h"
#include "address/select_users.h"
#include "store/fileprim.h"
#include "store/namelist.h"

namespace vk {

namespace {

// A recipient entry: the role's prefix and the name.
constexpr int kEntrySize = 69;

struct ComposeState {
  ResultPool* pool;
  CMC_message* copy;
  NameList* to;
  NameList* cc;
  CMC_return_code result;
};

void AddEntries(Dialog* d, const NameList* names, int prefix_id) {
  char prefix[kEntrySize];
  LoadStringText(prefix_id, prefix, sizeof prefix);
  for (unsigned i = 0; names && i < names->count; ++i) {
    char entry[kEntrySize];
    CopyBounded(entry, prefix, sizeof entry);
    AppendBounded(entry, names->slots[i], sizeof entry);
    ListAdd(d, kComposeRecipients, entry);
  }
}

void Refill(Dialog* d, ComposeState* s) {
  ListReset(d, kComposeRecipients);
  AddEntries(d, s->to, kStrToPrefix);
  AddEntries(d, s->cc, kStrCcPrefix);
  EnableControl(d, kIdOk, ListCount(d, kComposeRecipients) > 0);
}

void Pick(Dialog* d, ComposeState* s, NameList** names) {
  NameList* all = LoadAddressList();
  if (!all) {
    s->result = CMC_E_INSUFFICIENT_MEMORY;
    return;
  }
  NameList* chosen = SelectUsersDialog(DialogWindow(d), kSelectUsersTemplate, all, *names);
  FreeNameList(all);
  if (!chosen) return;
  FreeNameList(*names);
  *names = chosen;
  Refill(d, s);
}

// Field `id`'s whole text in a fresh piece of the pool; null when it cannot
// be had.
char* FieldText(Dialog* d, int id, ResultPool* pool) {
  int length = GetControlText(d, id, nullptr, 0);
  if (length < 0) length = 0;
  char* text = static_cast<char*>(PoolAlloc(pool, static_cast<uint32_t>(length) + 1));
  if (text) GetControlText(d, id, text, length + 1);
  return text;
}

bool FillRecipients(CMC_recipient* r, const NameList* names, CMC_enum role, ResultPool* pool) {
  for (unsigned i = 0; names && i < names->count; ++i, ++r) {
    r->name = PoolDupString(pool, names->slots[i]);
    if (!r->name) return false;
    r->name_type = CMC_TYPE_UNKNOWN;
    r->address = nullptr;
    r->role = role;
    r->recip_flags = 0;
    r->recip_extensions = nullptr;
  }
  return true;
}

CMC_return_code Store(Dialog* d, ComposeState* s) {
  CMC_message* m = s->copy;
  char* subject = FieldText(d, kComposeSubject, s->pool);
  if (!subject) return CMC_E_INSUFFICIENT_MEMORY;
  m->subject = subject;
  char* text = FieldText(d, kComposeText, s->pool);
  if (!text) return CMC_E_INSUFFICIENT_MEMORY;
  m->text_note = text;
  unsigned to = s->to ? s->to->count : 0;
  unsigned cc = s->cc ? s->cc->count : 0;
  if (to + cc == 0) return CMC_E_INSUFFICIENT_MEMORY;
  CMC_recipient* r = static_cast<CMC_recipient*>(PoolAllocRecord(s->pool, (to + cc) * sizeof(CMC_recipient)));
  if (!r || !FillRecipients(r, s->to, CMC_ROLE_TO, s->pool) || !FillRecipients(r + to, s->cc, CMC_ROLE_CC, s->pool)) {
    return CMC_E_INSUFFICIENT_MEMORY;
  }
  r[to + cc - 1].recip_flags = CMC_RECIP_LAST_ELEMENT;
  m->recipients = r;
  return CMC_SUCCESS;
}

int ComposeProc(Dialog* d, int event, int id, int, void* param) {
  ComposeState* s = static_cast<ComposeState*>(param);
  if (event == kDlgInit) {
    SetControlText(d, kComposeSubject, s->copy->subject ? s->copy->subject : "");
    SetControlText(d, kComposeText, s->copy->text_note ? s->copy->text_note : "");
    UseNormalWeightFont(d, kComposeRecipients, kComposeText);
    UseNormalWeightFont(d, kComposeRecipients, kComposeRecipients);
    EnableControl(d, kIdOk, false);
    TakeAllKeys(d, kComposeText);
    PlaceDialog(d, kPlaceCentre);
    return 1;
  }
  if (event != kDlgCommand) return 0;
  switch (id) {
    case kComposeTo:
      Pick(d, s, &s->to);
      return 1;
    case kComposeCc:
      Pick(d, s, &s->cc);
      return 1;
    case kIdOk:
      // The default button answers the Enter key even while disabled.
      if (!IsControlEnabled(d, kIdOk)) return 1;
      s->result = Store(d, s);
      EndDialog(d, kIdOk);
      return 1;
    case kIdCancel:
      s->result = CMC_E_USER_CANCEL;
      EndDialog(d, kIdCancel);
      return 1;
    default:
      return 0;
  }
}

}  // namespace

CMC_return_code ComposeDialog(UiWindow owner, int template_id, ResultPool* pool, CMC_message* copy) {
  if (!pool || !copy) return CMC_E_INVALID_PARAMETER;
  ComposeState s{pool, copy, CreateNameList(8, 512), CreateNameList(8, 512), CMC_E_USER_CANCEL};
  // A template that cannot be shown leaves the result at cancel.
  if (s.to && s.cc) RunDialog(owner, template_id, ComposeProc, &s);
  if (!s.to || !s.cc) s.result = CMC_E_INSUFFICIENT_MEMORY;
  FreeNameList(s.to);
  FreeNameList(s.cc);
  return s.result;
}

CMC_return_code ComposeForSend(CMC_ui_id owner, ResultPool* pool, CMC_message* copy) {
  return ComposeDialog(reinterpret_cast<UiWindow>(owner), kComposeTemplate, pool, copy);
}

}  // namespace vk
