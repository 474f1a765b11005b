// The dialog façade: argument checks, the choice of implementation, and the
// helpers built on the operations (status messages, centring).
#include "dialogs/dialog.h"

#include <cstring>

#include "dialogs/dialog_impl.h"

namespace vk {

int DispatchDialogEvent(DialogRun* d, int event, int id, int code) {
  if (!d->open) return 0;
  return d->proc(d, event, id, code, d->param);
}

void RequestDialogClose(DialogRun* d) {
  if (!d->open) return;
  if (!DispatchDialogEvent(d, kDlgClose, 0, 0)) DispatchDialogEvent(d, kDlgCommand, kIdCancel, kBnClicked);
}

int RunDialog(UiWindow owner, int template_id, DialogProc proc, void* param) {
  const UiDialogDef* def = FindDialogTemplate(template_id);
  if (!def || !proc) return -1;
  DialogRun d = {nullptr, def, proc, param, true, false, 0, nullptr, nullptr};
  if (MemoryDialogsDriven() || !PlatHasRealDialogs()) return RunMemoryDialog(&d);
  return RunRealDialog(owner, &d);
}

int RunBrowseDialog(UiWindow owner, int template_id, const char* initial, DialogProc proc, void* param) {
  const UiDialogDef* def = FindDialogTemplate(template_id);
  if (!def || !proc) return -1;
  if (MemoryDialogsDriven() || !PlatHasRealDialogs()) return RunDialog(owner, template_id, proc, param);
  DialogRun d = {nullptr, def, proc, param, true, true, 0, nullptr, nullptr};
  return RunRealBrowseDialog(owner, &d, initial ? initial : "");
}

bool DialogIsPlatformBrowser(const Dialog* d) { return d && d->browser; }

void EndDialog(Dialog* d, int result) {
  if (!d || !d->open) return;
  d->open = false;
  d->result = result;
  d->ops->end(d, result);
}

bool DialogIsOpen(const Dialog* d) { return d && d->open; }

int DialogTemplateId(const Dialog* d) { return d ? d->def->id : -1; }

UiWindow DialogWindow(const Dialog* d) { return d ? d->ops->window(d) : nullptr; }

bool HasControl(Dialog* d, int id) { return d && d->ops->has_control(d, id); }

int GetControlText(Dialog* d, int id, char* buf, int size) {
  if (buf && size > 0) buf[0] = '\0';
  return d ? d->ops->get_text(d, id, buf, size) : -1;
}

bool SetControlText(Dialog* d, int id, const char* text) { return d && d->ops->set_text(d, id, text ? text : ""); }

void EnableControl(Dialog* d, int id, bool enable) {
  if (d) d->ops->enable(d, id, enable);
}

void ShowControl(Dialog* d, int id, bool show) {
  if (d) d->ops->show(d, id, show);
}

bool IsControlEnabled(Dialog* d, int id) { return d && d->ops->is_enabled(d, id); }

bool IsControlVisible(Dialog* d, int id) { return d && d->ops->is_visible(d, id); }

void LimitText(Dialog* d, int id, int limit) {
  if (d) d->ops->limit_text(d, id, limit);
}

void SelectAllText(Dialog* d, int id) {
  if (d) d->ops->select_all(d, id);
}

void SetDefaultButton(Dialog* d, int id) {
  if (d) d->ops->set_default(d, id);
}

void SetFocusControl(Dialog* d, int id) {
  if (d) d->ops->set_focus(d, id);
}

void SendCommand(Dialog* d, int id, int code) {
  if (d) d->ops->send_command(d, id, code);
}

void PostCommand(Dialog* d, int id, int code) {
  if (d) d->ops->post_command(d, id, code);
}

void SetRedraw(Dialog* d, int id, bool redraw) {
  if (d) d->ops->set_redraw(d, id, redraw);
}

void TakeAllKeys(Dialog* d, int id) {
  if (d) d->ops->take_all_keys(d, id);
}

void UseNormalWeightFont(Dialog* d, int from, int to) {
  if (d) d->ops->normal_font(d, from, to);
}

int ListAdd(Dialog* d, int id, const char* text) { return d ? d->ops->list_add(d, id, text ? text : "") : -1; }

int ListDelete(Dialog* d, int id, int index) { return d ? d->ops->list_delete(d, id, index) : -1; }

void ListReset(Dialog* d, int id) {
  if (d) d->ops->list_reset(d, id);
}

int ListCount(Dialog* d, int id) { return d ? d->ops->list_count(d, id) : -1; }

int ListTextLength(Dialog* d, int id, int index) { return d ? d->ops->list_text_length(d, id, index) : -1; }

int ListSetSel(Dialog* d, int id, int index, bool selected) {
  return d ? d->ops->list_set_sel(d, id, index, selected) : -1;
}

int ListGetSel(Dialog* d, int id, int index) { return d ? d->ops->list_get_sel(d, id, index) : -1; }

int ListSelCount(Dialog* d, int id) { return d ? d->ops->list_sel_count(d, id) : -1; }

int ListSelItems(Dialog* d, int id, int* items, int max) { return d ? d->ops->list_sel_items(d, id, items, max) : -1; }

int ListFindExact(Dialog* d, int id, const char* text) {
  return d ? d->ops->list_find_exact(d, id, text ? text : "") : -1;
}

int GetListText(Dialog* d, int id, int index, char* buf, int size) {
  if (buf && size > 0) buf[0] = '\0';
  return d ? d->ops->list_text(d, id, index, buf, size) : -1;
}

int LoadStringText(int string_id, char* buf, int size) {
  if (buf && size > 0) buf[0] = '\0';
  const char* s = FindString(string_id);
  if (!s || !buf || size <= 0) return 0;
  size_t n = std::strlen(s);
  if (n > static_cast<size_t>(size - 1)) n = static_cast<size_t>(size - 1);
  std::memcpy(buf, s, n);
  buf[n] = '\0';
  return static_cast<int>(n);
}

int ShowStatusMessage(Dialog* d, int id, int string_id) {
  if (!HasControl(d, id)) return 0;
  char text[80];
  if (LoadStringText(string_id, text, sizeof text) == 0) return 0;
  return SetControlText(d, id, text) ? 1 : 0;
}

bool GetDialogRect(Dialog* d, int* left, int* top, int* width, int* height) {
  return d && d->ops->get_rect(d, left, top, width, height);
}

void MoveDialog(Dialog* d, int left, int top) {
  if (d) d->ops->move(d, left, top);
}

}  // namespace vk
