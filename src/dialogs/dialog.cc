// The dialog layer: one procedure per dialog, run either on the platform's
// real dialog or on an in-memory copy of the template that a driver plays.
#include "dialogs/dialog.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/text.h"
#include "vkmsg/vkmsg.h"

namespace vk {

namespace {

// The system's default limit of a single-line edit field before the
// dialog sets one.
constexpr int kDefaultEditLimit = 30000;
// Pixels per 4 horizontal and per 8 vertical dialog units of the
// templates' font (8-point "MS Sans Serif" at 96 dots per inch).
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;

struct MemControl {
  int id;
  UiControlKind kind;
  unsigned long style;
  std::string text;
  bool enabled;
  bool visible;
  int limit;
  std::vector<std::string> items;
  std::vector<char> selected;
};

}  // namespace

struct DialogRun {
  const UiDialogDef* def;
  DialogProc proc;
  void* param;
  UiWindow window;  // the real dialog, null for an in-memory one
  bool in_memory;
  bool open;
  int result;
  std::string caption;
  std::vector<MemControl> controls;
  int left, top;
  int focus;
};

namespace {

VkDialogDriver g_driver = nullptr;
void* g_driver_context = nullptr;
// The in-memory dialogs now running, innermost last; a driver's handle is
// checked against them.
std::vector<DialogRun*> g_live;

bool IsLive(const DialogRun* d) {
  for (const DialogRun* r : g_live) {
    if (r == d) return true;
  }
  return false;
}

MemControl* Find(DialogRun* d, int id) {
  if (!d || id == -1) return nullptr;
  for (MemControl& c : d->controls) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

MemControl* FindList(DialogRun* d, int id) {
  MemControl* c = Find(d, id);
  return c && c->kind == kUiListBox ? c : nullptr;
}

bool MultiSelect(const MemControl& c) { return (c.style & (kLbsExtendedSel | kLbsMultipleSel)) != 0; }

int CopyOut(const std::string& s, char* buf, int size) {
  if (buf && size > 0) {
    size_t n = s.size() < static_cast<size_t>(size - 1) ? s.size() : static_cast<size_t>(size - 1);
    std::memcpy(buf, s.data(), n);
    buf[n] = '\0';
  }
  return static_cast<int>(s.size());
}

int Dispatch(DialogRun* d, int event, int id, int code) {
  if (!d->open) return 0;
  return d->proc(d, event, id, code, d->param);
}

// A close request: the procedure's own handling, else the system's, which
// turns it into Cancel.
void RequestClose(DialogRun* d) {
  if (!d->open) return;
  if (!Dispatch(d, kDlgClose, 0, 0)) Dispatch(d, kDlgCommand, kIdCancel, kBnClicked);
}

void Notify(DialogRun* d, const MemControl& c, int code) {
  int id = c.id;
  bool notifies = c.kind != kUiListBox || (c.style & kLbsNotify) != 0;
  if (notifies) Dispatch(d, kDlgCommand, id, code);
}

// Focus moving to a list box, as a click into it would.
void FocusList(DialogRun* d, const MemControl& c) {
  if (d->focus == c.id) return;
  d->focus = c.id;
  Notify(d, c, kLbnSetFocus);
}

bool BuildInMemory(DialogRun* d) {
  try {
    d->caption = d->def->caption ? d->def->caption : "";
    d->controls.reserve(static_cast<size_t>(d->def->control_count));
    for (int i = 0; i < d->def->control_count; ++i) {
      const UiControlDef& t = d->def->controls[i];
      MemControl c;
      c.id = t.id;
      c.kind = t.kind;
      c.style = t.style;
      c.text = t.text ? t.text : "";
      c.enabled = (t.style & kWsDisabled) == 0;
      c.visible = (t.style & kWsVisible) != 0;
      c.limit = kDefaultEditLimit;
      d->controls.push_back(std::move(c));
    }
  } catch (...) {
    return false;
  }
  return true;
}

int RealHandler(void* context, UiWindow window, int event, int id, int code) {
  DialogRun* d = static_cast<DialogRun*>(context);
  d->window = window;
  return Dispatch(d, event, id, code);
}

int RunInMemory(DialogRun* d) {
  if (!BuildInMemory(d)) return -1;
  try {
    g_live.push_back(d);
  } catch (...) {
    return -1;
  }
  Dispatch(d, kDlgInit, 0, 0);
  if (d->open && g_driver) g_driver(g_driver_context, reinterpret_cast<VkDialog*>(d));
  RequestClose(d);
  if (d->open) {
    // The procedure ignored both the close request and Cancel.
    d->open = false;
    d->result = kIdCancel;
  }
  g_live.pop_back();
  return d->result;
}

}  // namespace

int RunDialog(UiWindow owner, int template_id, DialogProc proc, void* param) {
  const UiDialogDef* def = FindDialogTemplate(template_id);
  if (!def || !proc) return -1;
  DialogRun* d = new (std::nothrow) DialogRun();
  if (!d) return -1;
  d->def = def;
  d->proc = proc;
  d->param = param;
  d->window = nullptr;
  d->open = true;
  d->result = 0;
  d->left = 0;
  d->top = 0;
  d->focus = 0;
  int result;
#ifdef _WIN32
  d->in_memory = g_driver != nullptr;
#else
  d->in_memory = true;
#endif
  if (d->in_memory) {
    result = RunInMemory(d);
  } else {
    result = PlatRunDialog(owner, def, RealHandler, d);
  }
  delete d;
  return result;
}

void EndDialog(Dialog* d, int result) {
  if (!d || !d->open) return;
  d->open = false;
  d->result = result;
  if (!d->in_memory && d->window) PlatEndDialog(d->window, result);
}

bool DialogIsOpen(const Dialog* d) { return d && d->open; }

int DialogTemplateId(const Dialog* d) { return d ? d->def->id : -1; }

UiWindow DialogWindow(const Dialog* d) {
  if (!d) return nullptr;
  return d->in_memory ? nullptr : d->window;
}

bool HasControl(Dialog* d, int id) {
  if (!d) return false;
  if (!d->in_memory) return PlatHasControl(d->window, id);
  return Find(d, id) != nullptr;
}

int GetControlText(Dialog* d, int id, char* buf, int size) {
  if (buf && size > 0) buf[0] = '\0';
  if (!d) return -1;
  if (!d->in_memory) return PlatGetControlText(d->window, id, buf, size);
  if (id == -1) return CopyOut(d->caption, buf, size);
  MemControl* c = Find(d, id);
  return c ? CopyOut(c->text, buf, size) : -1;
}

bool SetControlText(Dialog* d, int id, const char* text) {
  if (!d) return false;
  if (!d->in_memory) return PlatSetControlText(d->window, id, text ? text : "");
  try {
    if (id == -1) {
      d->caption = text ? text : "";
      return true;
    }
    MemControl* c = Find(d, id);
    if (!c) return false;
    c->text = text ? text : "";
    // The system's single-line edit reports every text it is given.
    if (c->kind == kUiEdit && (c->style & kEsMultiline) == 0) Notify(d, *c, kEnChange);
  } catch (...) {
    return false;
  }
  return true;
}

void EnableControl(Dialog* d, int id, bool enable) {
  if (!d) return;
  if (!d->in_memory) return PlatEnableControl(d->window, id, enable);
  if (MemControl* c = Find(d, id)) c->enabled = enable;
}

void ShowControl(Dialog* d, int id, bool show) {
  if (!d) return;
  if (!d->in_memory) return PlatShowControl(d->window, id, show);
  if (MemControl* c = Find(d, id)) c->visible = show;
}

bool IsControlEnabled(Dialog* d, int id) {
  if (!d) return false;
  if (!d->in_memory) return PlatIsControlEnabled(d->window, id);
  MemControl* c = Find(d, id);
  return c && c->enabled;
}

bool IsControlVisible(Dialog* d, int id) {
  if (!d) return false;
  if (!d->in_memory) return PlatIsControlVisible(d->window, id);
  MemControl* c = Find(d, id);
  return c && c->visible;
}

void LimitText(Dialog* d, int id, int limit) {
  if (!d) return;
  if (!d->in_memory) return PlatLimitText(d->window, id, limit);
  if (MemControl* c = Find(d, id)) c->limit = limit > 0 ? limit : 0x7FFFFFFE;
}

void SelectAllText(Dialog* d, int id) {
  if (d && !d->in_memory) PlatSelectAllText(d->window, id);
}

void SetDefaultButton(Dialog* d, int id) {
  if (d && !d->in_memory) PlatSetDefaultButton(d->window, id);
}

void SetFocusControl(Dialog* d, int id) {
  if (!d) return;
  if (!d->in_memory) return PlatSetFocus(d->window, id);
  if (Find(d, id)) d->focus = id;
}

void SendCommand(Dialog* d, int id, int code) {
  if (!d) return;
  if (!d->in_memory) return PlatSendCommand(d->window, id, code);
  Dispatch(d, kDlgCommand, id, code);
}

void SetRedraw(Dialog* d, int id, bool redraw) {
  if (d && !d->in_memory) PlatSetRedraw(d->window, id, redraw);
}

int ListAdd(Dialog* d, int id, const char* text) {
  if (!d) return -1;
  if (!d->in_memory) return PlatListAdd(d->window, id, text ? text : "");
  MemControl* c = FindList(d, id);
  if (!c) return -1;
  try {
    size_t at = c->items.size();
    if (c->style & kLbsSort) {
      at = 0;
      while (at < c->items.size() && PlatCompareNoCase(c->items[at].c_str(), text ? text : "") <= 0) ++at;
    }
    c->items.insert(c->items.begin() + static_cast<long>(at), text ? text : "");
    c->selected.insert(c->selected.begin() + static_cast<long>(at), 0);
    return static_cast<int>(at);
  } catch (...) {
    return -1;
  }
}

int ListDelete(Dialog* d, int id, int index) {
  if (!d) return -1;
  if (!d->in_memory) return PlatListDelete(d->window, id, index);
  MemControl* c = FindList(d, id);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return -1;
  c->items.erase(c->items.begin() + index);
  c->selected.erase(c->selected.begin() + index);
  return static_cast<int>(c->items.size());
}

void ListReset(Dialog* d, int id) {
  if (!d) return;
  if (!d->in_memory) {
    PlatListReset(d->window, id);
    return;
  }
  if (MemControl* c = FindList(d, id)) {
    c->items.clear();
    c->selected.clear();
  }
}

int ListCount(Dialog* d, int id) {
  if (!d) return -1;
  if (!d->in_memory) return PlatListCount(d->window, id);
  MemControl* c = FindList(d, id);
  return c ? static_cast<int>(c->items.size()) : -1;
}

int ListTextLength(Dialog* d, int id, int index) {
  if (!d) return -1;
  if (!d->in_memory) return PlatListTextLength(d->window, id, index);
  MemControl* c = FindList(d, id);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return -1;
  return static_cast<int>(c->items[static_cast<size_t>(index)].size());
}

int ListSetSel(Dialog* d, int id, int index, bool selected) {
  if (!d) return -1;
  if (!d->in_memory) return PlatListSetSel(d->window, id, index, selected);
  MemControl* c = FindList(d, id);
  if (!c || index < -1 || index >= static_cast<int>(c->items.size())) return -1;
  if (!MultiSelect(*c) || index == -1) {
    // One selection at most, or every item at once.
    for (char& s : c->selected) s = (index == -1 && MultiSelect(*c)) ? selected : 0;
  }
  if (index >= 0) c->selected[static_cast<size_t>(index)] = selected;
  return 0;
}

int ListGetSel(Dialog* d, int id, int index) {
  if (!d) return -1;
  if (!d->in_memory) return PlatListGetSel(d->window, id, index);
  MemControl* c = FindList(d, id);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return -1;
  return c->selected[static_cast<size_t>(index)] ? 1 : 0;
}

int ListSelCount(Dialog* d, int id) {
  if (!d) return -1;
  if (!d->in_memory) return PlatListSelCount(d->window, id);
  MemControl* c = FindList(d, id);
  if (!c) return -1;
  int n = 0;
  for (char s : c->selected) n += s ? 1 : 0;
  return n;
}

int ListSelItems(Dialog* d, int id, int* items, int max) {
  if (!d) return -1;
  if (!d->in_memory) return PlatListSelItems(d->window, id, items, max);
  MemControl* c = FindList(d, id);
  if (!c) return -1;
  int n = 0;
  for (size_t i = 0; i < c->selected.size() && n < max; ++i) {
    if (c->selected[i]) {
      if (items) items[n] = static_cast<int>(i);
      ++n;
    }
  }
  return n;
}

int ListFindExact(Dialog* d, int id, const char* text) {
  if (!d) return -1;
  if (!d->in_memory) return PlatListFindExact(d->window, id, text ? text : "");
  MemControl* c = FindList(d, id);
  if (!c) return -1;
  for (size_t i = 0; i < c->items.size(); ++i) {
    if (PlatCompareNoCase(c->items[i].c_str(), text ? text : "") == 0) return static_cast<int>(i);
  }
  return -1;
}

int GetListText(Dialog* d, int id, int index, char* buf, int size) {
  if (buf && size > 0) buf[0] = '\0';
  if (!d) return -1;
  if (d->in_memory) {
    MemControl* c = FindList(d, id);
    if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return -1;
    return CopyOut(c->items[static_cast<size_t>(index)], buf, size);
  }
  int length = PlatListTextLength(d->window, id, index);
  if (length < 0) return -1;
  if (!buf || size <= 0) return length;
  if (length < size) return PlatListText(d->window, id, index, buf);
  // The system copies the whole item: go through a block that holds it.
  char* whole = new (std::nothrow) char[static_cast<size_t>(length) + 1];
  if (!whole) return -1;
  int got = PlatListText(d->window, id, index, whole);
  if (got >= 0) {
    whole[length] = '\0';
    std::memcpy(buf, whole, static_cast<size_t>(size - 1));
    buf[size - 1] = '\0';
  }
  delete[] whole;
  return got;
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
  if (!d) return false;
  if (!d->in_memory) return PlatGetWindowRect(d->window, left, top, width, height);
  bool thick = (d->def->style & kWsThickFrame) != 0;
  int frame = PlatFrameWidth(thick);
  int caption = (d->def->style & kWsCaption) == kWsCaption ? PlatCaptionHeight() : 0;
  if (left) *left = d->left;
  if (top) *top = d->top;
  if (width) *width = d->def->cx * kBaseUnitX / 4 + 2 * frame;
  if (height) *height = d->def->cy * kBaseUnitY / 8 + 2 * frame + caption;
  return true;
}

void MoveDialog(Dialog* d, int left, int top) {
  if (!d) return;
  if (!d->in_memory) {
    PlatMoveWindow(d->window, left, top);
    return;
  }
  d->left = left;
  d->top = top;
}

void CentreDialog(Dialog* d) {
  int w = 0, h = 0, sw = 0, sh = 0;
  if (!GetDialogRect(d, nullptr, nullptr, &w, &h)) return;
  PlatScreenSize(&sw, &sh);
  MoveDialog(d, (sw - w) / 2, (sh - h) / 2);
}

}  // namespace vk

// The automation interface: the driver's view of an in-memory dialog.
using vk::DialogRun;
using vk::MemControl;

namespace {

DialogRun* Live(VkDialog* d) {
  DialogRun* r = reinterpret_cast<DialogRun*>(d);
  return vk::IsLive(r) ? r : nullptr;
}

// A control the user can reach: present, enabled and visible, in an open
// dialog.
MemControl* Reachable(VkDialog* d, int id) {
  DialogRun* r = Live(d);
  if (!r || !r->open) return nullptr;
  MemControl* c = vk::Find(r, id);
  return c && c->enabled && c->visible ? c : nullptr;
}

// A reachable list box with an item at `index`, focused first as a click
// would; null when either is missing, also after the focus notification
// changed the list.
MemControl* FocusedListItem(VkDialog* d, int id, int index) {
  MemControl* c = Reachable(d, id);
  if (!c || c->kind != vk::kUiListBox) return nullptr;
  if (index < 0 || index >= static_cast<int>(c->items.size())) return nullptr;
  vk::FocusList(Live(d), *c);
  c = Reachable(d, id);
  if (!c || index >= static_cast<int>(c->items.size())) return nullptr;
  return c;
}

}  // namespace

extern "C" {

void vk_set_dialog_driver(VkDialogDriver driver, void* context) {
  vk::g_driver = driver;
  vk::g_driver_context = driver ? context : nullptr;
}

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
  r->focus = id;
  vk::Notify(r, *c, vk::kEnChange);
  return 1;
}

int vk_dialog_click(VkDialog* d, int id) {
  MemControl* c = Reachable(d, id);
  if (!c || c->kind != vk::kUiButton) return 0;
  DialogRun* r = Live(d);
  r->focus = id;
  vk::Dispatch(r, vk::kDlgCommand, id, vk::kBnClicked);
  return 1;
}

int vk_dialog_is_enabled(VkDialog* d, int id) {
  DialogRun* r = Live(d);
  MemControl* c = r ? vk::Find(r, id) : nullptr;
  return c && c->enabled ? 1 : 0;
}

int vk_dialog_is_visible(VkDialog* d, int id) {
  DialogRun* r = Live(d);
  MemControl* c = r ? vk::Find(r, id) : nullptr;
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
  MemControl* c = FocusedListItem(d, id, index);
  if (!c) return 0;
  DialogRun* r = Live(d);
  vk::ListSetSel(r, id, index, selected != 0);
  vk::Notify(r, *c, vk::kLbnSelChange);
  return 1;
}

int vk_dialog_list_is_selected(VkDialog* d, int id, int index) {
  DialogRun* r = Live(d);
  return r ? vk::ListGetSel(r, id, index) : -1;
}

int vk_dialog_list_double_click(VkDialog* d, int id, int index) {
  MemControl* c = FocusedListItem(d, id, index);
  if (!c) return 0;
  DialogRun* r = Live(d);
  // The first click selects the item alone, the second reports the
  // double click.
  if (vk::MultiSelect(*c)) vk::ListSetSel(r, id, -1, false);
  vk::ListSetSel(r, id, index, true);
  vk::Notify(r, *c, vk::kLbnSelChange);
  vk::Notify(r, *c, vk::kLbnDblClk);
  return 1;
}

int vk_dialog_close(VkDialog* d) {
  DialogRun* r = Live(d);
  if (!r || !r->open) return 0;
  vk::RequestClose(r);
  return 1;
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

}  // extern "C"
