// The automation interface: a driver's view of the running in-memory
// dialog, reaching its controls as the user would (what is disabled or
// hidden cannot be typed into or pressed).
#include <string>

#include "cmc/guard.h"
#include "dialogs/dialog_memory.h"

using vk::DialogRun;
using vk::MemControl;

namespace {

DialogRun* Live(VkDialog* d) { return vk::LiveMemoryDialog(d); }

// A control the user can reach: present, enabled and visible, in an open
// dialog.
MemControl* Reachable(VkDialog* d, int id) {
  DialogRun* r = Live(d);
  if (!r || !r->open) return nullptr;
  MemControl* c = vk::FindMemControl(r, id);
  return c && c->enabled && c->visible ? c : nullptr;
}

// A reachable list box with an item at `index`, focused first as a click
// would; null when either is missing, also after the focus notification
// changed the list.
MemControl* FocusedListItem(VkDialog* d, int id, int index) {
  MemControl* c = Reachable(d, id);
  if (!c || c->kind != vk::kUiListBox) return nullptr;
  if (index < 0 || index >= static_cast<int>(c->items.size())) return nullptr;
  vk::FocusMemList(Live(d), *c);
  c = Reachable(d, id);
  if (!c || index >= static_cast<int>(c->items.size())) return nullptr;
  return c;
}

}  // namespace

// The calls that run a dialog procedure (typing, clicking, selecting,
// closing) run it guarded: nothing it throws may reach the host.
extern "C" {

void vk_set_dialog_driver(VkDialogDriver driver, void* context) { vk::SetMemoryDialogDriver(driver, context); }

int vk_dialog_template(VkDialog* d) {
  DialogRun* r = Live(d);
  return r ? r->def->id : -1;
}

int vk_dialog_get_text(VkDialog* d, int id, char* buf, int size) {
  DialogRun* r = Live(d);
  if (!r) {
    if (buf && size > 0) buf[0] = '\0';
    return -1;
  }
  return vk::GetControlText(r, id, buf, size);
}

int vk_dialog_set_text(VkDialog* d, int id, const char* text) {
  return vk::Guarded(0, [&]() -> int {
    MemControl* c = Reachable(d, id);
    if (!c || c->kind != vk::kUiEdit) return 0;
    DialogRun* r = Live(d);
    try {
      std::string typed = text ? text : "";
      if (c->limit >= 0 && typed.size() > static_cast<size_t>(c->limit)) typed.resize(static_cast<size_t>(c->limit));
      c->text = std::move(typed);
    } catch (...) {
      return 0;
    }
    r->mem->focus = id;
    vk::NotifyMemControl(r, *c, vk::kEnChange);
    return 1;
  });
}

int vk_dialog_click(VkDialog* d, int id) {
  return vk::Guarded(0, [&]() -> int {
    MemControl* c = Reachable(d, id);
    if (!c || c->kind != vk::kUiButton) return 0;
    DialogRun* r = Live(d);
    r->mem->focus = id;
    vk::DispatchDialogEvent(r, vk::kDlgCommand, id, vk::kBnClicked);
    return 1;
  });
}

int vk_dialog_is_enabled(VkDialog* d, int id) {
  MemControl* c = vk::FindMemControl(Live(d), id);
  return c && c->enabled ? 1 : 0;
}

int vk_dialog_is_visible(VkDialog* d, int id) {
  MemControl* c = vk::FindMemControl(Live(d), id);
  return c && c->visible ? 1 : 0;
}

int vk_dialog_list_count(VkDialog* d, int id) {
  DialogRun* r = Live(d);
  return r ? vk::ListCount(r, id) : -1;
}

int vk_dialog_list_text(VkDialog* d, int id, int index, char* buf, int size) {
  DialogRun* r = Live(d);
  if (!r) {
    if (buf && size > 0) buf[0] = '\0';
    return -1;
  }
  return vk::GetListText(r, id, index, buf, size);
}

int vk_dialog_list_select(VkDialog* d, int id, int index, int selected) {
  return vk::Guarded(0, [&]() -> int {
    MemControl* c = FocusedListItem(d, id, index);
    if (!c) return 0;
    DialogRun* r = Live(d);
    vk::ListSetSel(r, id, index, selected != 0);
    vk::NotifyMemControl(r, *c, vk::kLbnSelChange);
    return 1;
  });
}

int vk_dialog_list_is_selected(VkDialog* d, int id, int index) {
  DialogRun* r = Live(d);
  return r ? vk::ListGetSel(r, id, index) : -1;
}

int vk_dialog_list_double_click(VkDialog* d, int id, int index) {
  return vk::Guarded(0, [&]() -> int {
    MemControl* c = FocusedListItem(d, id, index);
    if (!c) return 0;
    DialogRun* r = Live(d);
    // The first click selects the item alone, the second reports the
    // double click.
    if (vk::IsMultiSelect(*c)) vk::ListSetSel(r, id, -1, false);
    vk::ListSetSel(r, id, index, true);
    vk::NotifyMemControl(r, *c, vk::kLbnSelChange);
    vk::NotifyMemControl(r, *c, vk::kLbnDblClk);
    return 1;
  });
}

int vk_dialog_close(VkDialog* d) {
  return vk::Guarded(0, [&]() -> int {
    DialogRun* r = Live(d);
    if (!r || !r->open) return 0;
    vk::RequestDialogClose(r);
    return 1;
  });
}

int vk_dialog_is_open(VkDialog* d) {
  DialogRun* r = Live(d);
  return r && r->open ? 1 : 0;
}

int vk_dialog_rect(VkDialog* d, int* left, int* top, int* width, int* height) {
  DialogRun* r = Live(d);
  if (!r) return 0;
  return vk::GetDialogRect(r, left, top, width, height) ? 1 : 0;
}

int vk_dialog_control(VkDialog* d, int index, int* id, int* kind, unsigned long* style, int* state, char* text,
                      int size) {
  if (text && size > 0) text[0] = '\0';
  DialogRun* r = Live(d);
  if (!r || index < 0 || static_cast<size_t>(index) >= r->mem->controls.size()) return 0;
  const MemControl& c = r->mem->controls[static_cast<size_t>(index)];
  if (id) *id = c.id;
  if (kind) *kind = c.kind;
  if (style) *style = c.style;
  if (state) *state = (c.enabled ? VK_CONTROL_ENABLED : 0) | (c.visible ? VK_CONTROL_VISIBLE : 0);
  if (text && size > 0) {
    size_t n = c.text.size() < static_cast<size_t>(size - 1) ? c.text.size() : static_cast<size_t>(size - 1);
    c.text.copy(text, n);
    text[n] = '\0';
  }
  return 1;
}

}  // extern "C"
