// The dialog on the platform's real window: every operation goes to the
// platform's control of that id.
#include <cstring>
#include <new>

#include "dialogs/dialog_impl.h"

namespace vk {

namespace {

UiWindow W(const DialogRun* d) { return d->window; }

int Handler(void* context, UiWindow window, int event, int id, int code) {
  DialogRun* d = static_cast<DialogRun*>(context);
  d->window = window;
  return DispatchDialogEvent(d, event, id, code);
}

void End(DialogRun* d, int result) {
  if (d->window) PlatEndDialog(d->window, result);
}

bool HasCtl(DialogRun* d, int id) { return PlatHasControl(W(d), id); }
int GetText(DialogRun* d, int id, char* buf, int size) { return PlatGetControlText(W(d), id, buf, size); }
bool SetText(DialogRun* d, int id, const char* text) { return PlatSetControlText(W(d), id, text); }
void Enable(DialogRun* d, int id, bool on) { PlatEnableControl(W(d), id, on); }
void Show(DialogRun* d, int id, bool on) { PlatShowControl(W(d), id, on); }
bool IsEnabled(DialogRun* d, int id) { return PlatIsControlEnabled(W(d), id); }
bool IsVisible(DialogRun* d, int id) { return PlatIsControlVisible(W(d), id); }
void Limit(DialogRun* d, int id, int limit) { PlatLimitText(W(d), id, limit); }
void SelectAll(DialogRun* d, int id) { PlatSelectAllText(W(d), id); }
void SetDefault(DialogRun* d, int id) { PlatSetDefaultButton(W(d), id); }
void Focus(DialogRun* d, int id) { PlatSetFocus(W(d), id); }
void Command(DialogRun* d, int id, int code) { PlatSendCommand(W(d), id, code); }
void Post(DialogRun* d, int id, int code) { PlatPostCommand(W(d), id, code); }
void Redraw(DialogRun* d, int id, bool on) { PlatSetRedraw(W(d), id, on); }
void AllKeys(DialogRun* d, int id) { PlatTakeAllKeys(W(d), id); }
void NormalFont(DialogRun* d, int from, int to) { PlatUseNormalWeightFont(W(d), from, to); }
int Add(DialogRun* d, int id, const char* text) { return PlatListAdd(W(d), id, text); }
int Delete(DialogRun* d, int id, int index) { return PlatListDelete(W(d), id, index); }
void Reset(DialogRun* d, int id) { PlatListReset(W(d), id); }
int Count(DialogRun* d, int id) { return PlatListCount(W(d), id); }
int TextLength(DialogRun* d, int id, int index) { return PlatListTextLength(W(d), id, index); }
int SetSel(DialogRun* d, int id, int index, bool on) { return PlatListSetSel(W(d), id, index, on); }
int GetSel(DialogRun* d, int id, int index) { return PlatListGetSel(W(d), id, index); }
int SelCount(DialogRun* d, int id) { return PlatListSelCount(W(d), id); }
int SelItems(DialogRun* d, int id, int* items, int max) { return PlatListSelItems(W(d), id, items, max); }
int FindExact(DialogRun* d, int id, const char* text) { return PlatListFindExact(W(d), id, text); }
bool Rect(DialogRun* d, int* l, int* t, int* w, int* h) { return PlatGetWindowRect(W(d), l, t, w, h); }
void Move(DialogRun* d, int left, int top) { PlatMoveWindow(W(d), left, top); }
UiWindow Window(const DialogRun* d) { return d->window; }

int ListText(DialogRun* d, int id, int index, char* buf, int size) {
  int length = PlatListTextLength(W(d), id, index);
  if (length < 0) return -1;
  if (!buf || size <= 0) return length;
  if (length < size) return PlatListText(W(d), id, index, buf);
  // The system copies the whole item: go through a block that holds it.
  char* whole = new (std::nothrow) char[static_cast<size_t>(length) + 1];
  if (!whole) return -1;
  int got = PlatListText(W(d), id, index, whole);
  if (got >= 0) {
    whole[length] = '\0';
    std::memcpy(buf, whole, static_cast<size_t>(size - 1));
    buf[size - 1] = '\0';
  }
  delete[] whole;
  return got;
}

const DialogOps kRealOps = {
    End,        Window,   HasCtl,  GetText, SetText,  Enable,   Show,       IsEnabled, IsVisible, Limit, SelectAll,
    SetDefault, Focus,    Command, Post,    Redraw,   AllKeys,  NormalFont, Add,       Delete,    Reset, Count,
    TextLength, ListText, SetSel,  GetSel,  SelCount, SelItems, FindExact,  Rect,      Move,
};

}  // namespace

int RunRealDialog(UiWindow owner, DialogRun* d) {
  d->ops = &kRealOps;
  return PlatRunDialog(owner, d->def, Handler, d);
}

int RunRealBrowseDialog(UiWindow owner, DialogRun* d, const char* initial) {
  d->ops = &kRealOps;
  return PlatRunBrowseDialog(owner, d->def, initial, Handler, d);
}

}  // namespace vk
