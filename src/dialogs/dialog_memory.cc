// The in-memory dialog: the template's controls as plain records, played
// by the installed driver.
#include "dialogs/dialog_memory.h"

#include <cstring>
#include <new>

#include "platform/text.h"

namespace vk {

namespace {

// The system's default limit of a single-line edit field before the
// dialog sets one.
constexpr int kDefaultEditLimit = 30000;
// Pixels per 4 horizontal and per 8 vertical dialog units of the
// templates' font (8-point "MS Sans Serif" at 96 dots per inch).
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;

VkDialogDriver g_driver = nullptr;
void* g_driver_context = nullptr;
// The in-memory dialogs now running, innermost last; a driver's handle is
// checked against them.
std::vector<DialogRun*> g_live;

MemControl* FindList(DialogRun* d, int id) {
  MemControl* c = FindMemControl(d, id);
  return c && c->kind == kUiListBox ? c : nullptr;
}

MemControl* FindItem(DialogRun* d, int id, int index) {
  MemControl* c = FindList(d, id);
  return c && index >= 0 && index < static_cast<int>(c->items.size()) ? c : nullptr;
}

int CopyOut(const std::string& s, char* buf, int size) {
  if (buf && size > 0) {
    size_t n = s.size() < static_cast<size_t>(size - 1) ? s.size() : static_cast<size_t>(size - 1);
    std::memcpy(buf, s.data(), n);
    buf[n] = '\0';
  }
  return static_cast<int>(s.size());
}

bool Build(MemDialog* m, const UiDialogDef* def) {
  try {
    m->caption = def->caption ? def->caption : "";
    m->controls.reserve(static_cast<size_t>(def->control_count));
    for (int i = 0; i < def->control_count; ++i) {
      const UiControlDef& t = def->controls[i];
      MemControl c;
      c.id = t.id;
      c.kind = t.kind;
      c.style = t.style;
      c.text = t.text ? t.text : "";
      c.enabled = (t.style & kWsDisabled) == 0;
      c.visible = (t.style & kWsVisible) != 0;
      c.limit = kDefaultEditLimit;
      m->controls.push_back(std::move(c));
    }
  } catch (...) {
    return false;
  }
  return true;
}

void End(DialogRun*, int) {}
UiWindow Window(const DialogRun*) { return nullptr; }
bool HasCtl(DialogRun* d, int id) { return FindMemControl(d, id) != nullptr; }

int GetText(DialogRun* d, int id, char* buf, int size) {
  if (id == -1) return CopyOut(d->mem->caption, buf, size);
  MemControl* c = FindMemControl(d, id);
  return c ? CopyOut(c->text, buf, size) : -1;
}

bool SetText(DialogRun* d, int id, const char* text) {
  try {
    if (id == -1) {
      d->mem->caption = text;
      return true;
    }
    MemControl* c = FindMemControl(d, id);
    if (!c) return false;
    c->text = text;
    // The system's single-line edit reports every text it is given.
    if (c->kind == kUiEdit && (c->style & kEsMultiline) == 0) NotifyMemControl(d, *c, kEnChange);
  } catch (...) {
    return false;
  }
  return true;
}

void Enable(DialogRun* d, int id, bool on) {
  if (MemControl* c = FindMemControl(d, id)) c->enabled = on;
}

void Show(DialogRun* d, int id, bool on) {
  if (MemControl* c = FindMemControl(d, id)) c->visible = on;
}

bool IsEnabled(DialogRun* d, int id) {
  MemControl* c = FindMemControl(d, id);
  return c && c->enabled;
}

bool IsVisible(DialogRun* d, int id) {
  MemControl* c = FindMemControl(d, id);
  return c && c->visible;
}

void Limit(DialogRun* d, int id, int limit) {
  if (MemControl* c = FindMemControl(d, id)) c->limit = limit > 0 ? limit : 0x7FFFFFFE;
}

// Selection, the default button, drawing, keys and fonts have nothing to
// show in memory.
void SelectAll(DialogRun*, int) {}
void SetDefault(DialogRun*, int) {}
void Redraw(DialogRun*, int, bool) {}
void AllKeys(DialogRun*, int) {}
void NormalFont(DialogRun*, int, int) {}

void Focus(DialogRun* d, int id) {
  if (FindMemControl(d, id)) d->mem->focus = id;
}

void Command(DialogRun* d, int id, int code) { DispatchDialogEvent(d, kDlgCommand, id, code); }

int Add(DialogRun* d, int id, const char* text) {
  MemControl* c = FindList(d, id);
  if (!c) return -1;
  try {
    size_t at = c->items.size();
    if (c->style & kLbsSort) {
      at = 0;
      while (at < c->items.size() && PlatCompareNoCase(c->items[at].c_str(), text) <= 0) ++at;
    }
    c->items.insert(c->items.begin() + static_cast<long>(at), text);
    c->selected.insert(c->selected.begin() + static_cast<long>(at), 0);
    return static_cast<int>(at);
  } catch (...) {
    return -1;
  }
}

int Delete(DialogRun* d, int id, int index) {
  MemControl* c = FindItem(d, id, index);
  if (!c) return -1;
  c->items.erase(c->items.begin() + index);
  c->selected.erase(c->selected.begin() + index);
  return static_cast<int>(c->items.size());
}

void Reset(DialogRun* d, int id) {
  if (MemControl* c = FindList(d, id)) {
    c->items.clear();
    c->selected.clear();
  }
}

int Count(DialogRun* d, int id) {
  MemControl* c = FindList(d, id);
  return c ? static_cast<int>(c->items.size()) : -1;
}

int TextLength(DialogRun* d, int id, int index) {
  MemControl* c = FindItem(d, id, index);
  return c ? static_cast<int>(c->items[static_cast<size_t>(index)].size()) : -1;
}

int ListText(DialogRun* d, int id, int index, char* buf, int size) {
  MemControl* c = FindItem(d, id, index);
  return c ? CopyOut(c->items[static_cast<size_t>(index)], buf, size) : -1;
}

int SetSel(DialogRun* d, int id, int index, bool on) {
  MemControl* c = FindList(d, id);
  if (!c || index < -1 || index >= static_cast<int>(c->items.size())) return -1;
  if (!IsMultiSelect(*c) || index == -1) {
    // One selection at most, or every item at once.
    for (char& s : c->selected) s = (index == -1 && IsMultiSelect(*c)) ? on : 0;
  }
  if (index >= 0) c->selected[static_cast<size_t>(index)] = on;
  return 0;
}

int GetSel(DialogRun* d, int id, int index) {
  MemControl* c = FindItem(d, id, index);
  return c ? (c->selected[static_cast<size_t>(index)] ? 1 : 0) : -1;
}

int SelItems(DialogRun* d, int id, int* items, int max) {
  MemControl* c = FindList(d, id);
  if (!c) return -1;
  int n = 0;
  for (size_t i = 0; i < c->selected.size() && n < max; ++i) {
    if (!c->selected[i]) continue;
    if (items) items[n] = static_cast<int>(i);
    ++n;
  }
  return n;
}

int SelCount(DialogRun* d, int id) { return SelItems(d, id, nullptr, 0x7FFFFFFF); }

int FindExact(DialogRun* d, int id, const char* text) {
  MemControl* c = FindList(d, id);
  if (!c) return -1;
  for (size_t i = 0; i < c->items.size(); ++i) {
    if (PlatCompareNoCase(c->items[i].c_str(), text) == 0) return static_cast<int>(i);
  }
  return -1;
}

// The size the system would give the template's frame at the fixed metrics.
bool Rect(DialogRun* d, int* left, int* top, int* width, int* height) {
  int frame = PlatFrameWidth((d->def->style & kWsThickFrame) != 0);
  int caption = (d->def->style & kWsCaption) == kWsCaption ? PlatCaptionHeight() : 0;
  if (left) *left = d->mem->left;
  if (top) *top = d->mem->top;
  if (width) *width = d->def->cx * kBaseUnitX / 4 + 2 * frame;
  if (height) *height = d->def->cy * kBaseUnitY / 8 + 2 * frame + caption;
  return true;
}

void Move(DialogRun* d, int left, int top) {
  d->mem->left = left;
  d->mem->top = top;
}

// No message queue: a posted command arrives at once.
const DialogOps kMemoryOps = {
    End,        Window,   HasCtl,  GetText, SetText,  Enable,   Show,       IsEnabled, IsVisible, Limit, SelectAll,
    SetDefault, Focus,    Command, Command, Redraw,   AllKeys,  NormalFont, Add,       Delete,    Reset, Count,
    TextLength, ListText, SetSel,  GetSel,  SelCount, SelItems, FindExact,  Rect,      Move,
};

}  // namespace

void SetMemoryDialogDriver(VkDialogDriver driver, void* context) {
  g_driver = driver;
  g_driver_context = driver ? context : nullptr;
}

bool MemoryDialogsDriven() { return g_driver != nullptr; }

DialogRun* LiveMemoryDialog(VkDialog* handle) {
  for (DialogRun* r : g_live) {
    if (reinterpret_cast<VkDialog*>(r) == handle) return r;
  }
  return nullptr;
}

MemControl* FindMemControl(DialogRun* d, int id) {
  if (!d || !d->mem || id == -1) return nullptr;
  for (MemControl& c : d->mem->controls) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

bool IsMultiSelect(const MemControl& c) { return (c.style & (kLbsExtendedSel | kLbsMultipleSel)) != 0; }

void NotifyMemControl(DialogRun* d, const MemControl& c, int code) {
  if (c.kind != kUiListBox || (c.style & kLbsNotify) != 0) DispatchDialogEvent(d, kDlgCommand, c.id, code);
}

void FocusMemList(DialogRun* d, const MemControl& c) {
  if (d->mem->focus == c.id) return;
  d->mem->focus = c.id;
  NotifyMemControl(d, c, kLbnSetFocus);
}

int RunMemoryDialog(DialogRun* d) {
  MemDialog mem;
  mem.left = mem.top = mem.focus = 0;
  if (!Build(&mem, d->def)) return -1;
  d->ops = &kMemoryOps;
  d->mem = &mem;
  try {
    g_live.push_back(d);
  } catch (...) {
    return -1;
  }
  DispatchDialogEvent(d, kDlgInit, 0, 0);
  if (d->open && g_driver) g_driver(g_driver_context, reinterpret_cast<VkDialog*>(d));
  RequestDialogClose(d);
  if (d->open) {
    // The procedure ignored both the close request and Cancel.
    d->open = false;
    d->result = kIdCancel;
  }
  g_live.pop_back();
  return d->result;
}

}  // namespace vk
