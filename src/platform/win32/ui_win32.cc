// Win32 user interface: the real modal dialog and the directory browser
// (the system's old-style save-file dialog with a hook), each from the
// module's resources or built in memory from the same template when the
// module has none, as in the test programs that link the static library;
// their controls and the screen metrics.
#include <windows.h>
// After windows.h, which leaves it out when lean.
#include <commdlg.h>

#include <cstring>
#include <new>
#include <vector>

#include "platform/ui.h"

namespace vk {

namespace {

constexpr int kMaxFonts = 4;

// One run of a real dialog or of the browser.
struct RealDialog {
  UiEventHandler handler;
  void* context;
  HWND window;  // null until the dialog exists
  HFONT fonts[kMaxFonts];
  HFONT sources[kMaxFonts];  // the font each copy was made from
  int font_count;
};

// The browser now running, for its hook, which has no place of its own to
// keep it; one runs at a time.
RealDialog* g_browser = nullptr;
// The standard dialog's "commdlg_LBSelChangedNotify", registered once.
UINT g_sel_changed = 0;

// The standard dialog's current directory (stc1 of the system's ids).
constexpr int kBrowserDirectory = 1088;

HINSTANCE OwnModule() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&OwnModule), &module)) {
    module = GetModuleHandleA(nullptr);
  }
  return module;
}

INT_PTR CALLBACK RealDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  RealDialog* real;
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(window, DWLP_USER, lparam);
    real = reinterpret_cast<RealDialog*>(lparam);
    if (real) real->window = window;
  } else {
    real = reinterpret_cast<RealDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  }
  if (!real) return FALSE;
  try {
    switch (message) {
      case WM_INITDIALOG:
        real->handler(real->context, window, kUiInit, 0, 0);
        // The system puts the focus on the first tab stop.
        return TRUE;
      case WM_COMMAND:
        return real->handler(real->context, window, kUiCommand, LOWORD(wparam), HIWORD(wparam)) ? TRUE : FALSE;
      case WM_CLOSE:
        return real->handler(real->context, window, kUiClose, 0, 0) ? TRUE : FALSE;
      default:
        return FALSE;
    }
  } catch (...) {
    return FALSE;
  }
}

// The browser's hook: the standard dialog hands it every message first.
UINT_PTR CALLBACK BrowseHook(HWND window, UINT message, WPARAM wparam, LPARAM) {
  RealDialog* real = g_browser;
  if (!real) return FALSE;
  try {
    if (message == WM_INITDIALOG) {
      real->window = window;
      SendDlgItemMessageA(window, kBrowserDirectory, EM_SETREADONLY, TRUE, 0);
      real->handler(real->context, window, kUiInit, 0, 0);
      // FALSE keeps the focus where the handler put it.
      HWND focus = GetFocus();
      return focus && GetParent(focus) == window ? FALSE : TRUE;
    }
    if (message == WM_COMMAND) {
      return real->handler(real->context, window, kUiCommand, LOWORD(wparam), HIWORD(wparam)) ? TRUE : FALSE;
    }
    if (message == WM_CLOSE) return real->handler(real->context, window, kUiClose, 0, 0) ? TRUE : FALSE;
    if (g_sel_changed != 0 && message == g_sel_changed) {
      return real->handler(real->context, window, kUiBrowse, static_cast<int>(wparam), 0) ? TRUE : FALSE;
    }
  } catch (...) {
  }
  return FALSE;
}

// The run of `dialog`, null for a window that is none of ours.
RealDialog* RunOf(HWND dialog) {
  if (!dialog) return nullptr;
  if (g_browser && g_browser->window == dialog) return g_browser;
  if (GetWindowLongPtrA(dialog, DWLP_DLGPROC) != reinterpret_cast<LONG_PTR>(&RealDialogProc)) return nullptr;
  return reinterpret_cast<RealDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void ReleaseFonts(RealDialog* real) {
  for (int i = 0; i < real->font_count; ++i) DeleteObject(real->fonts[i]);
  real->font_count = 0;
}

// The control's window procedure under PlatTakeAllKeys; the one it had is
// kept in its user data.
LRESULT CALLBACK AllKeysProc(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
  WNDPROC own = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(control, GWLP_USERDATA));
  if (!own) return DefWindowProcA(control, message, wparam, lparam);
  if (message == WM_GETDLGCODE) return DLGC_WANTALLKEYS;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
    SetWindowLongPtrA(control, GWLP_USERDATA, 0);
  }
  return CallWindowProcA(own, control, message, wparam, lparam);
}

void PutWord(std::vector<WORD>& t, unsigned value) { t.push_back(static_cast<WORD>(value)); }

void PutDword(std::vector<WORD>& t, unsigned long value) {
  PutWord(t, static_cast<unsigned>(value & 0xFFFF));
  PutWord(t, static_cast<unsigned>((value >> 16) & 0xFFFF));
}

void PutText(std::vector<WORD>& t, const char* text) {
  const char* s = text ? text : "";
  int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
  if (n <= 0) {
    PutWord(t, 0);
    return;
  }
  std::vector<WCHAR> wide(static_cast<size_t>(n));
  MultiByteToWideChar(CP_ACP, 0, s, -1, wide.data(), n);
  for (WCHAR c : wide) PutWord(t, c);
}

unsigned ClassAtom(UiControlKind kind) {
  switch (kind) {
    case kUiButton:
      return 0x0080;
    case kUiEdit:
      return 0x0081;
    case kUiStatic:
      return 0x0082;
    case kUiListBox:
      return 0x0083;
    case kUiComboBox:
      return 0x0085;
  }
  return 0x0082;
}

// A DLGTEMPLATE with its items, laid out as the resource compiler does.
void BuildTemplate(const UiDialogDef* def, std::vector<WORD>& t) {
  PutDword(t, def->style | kDsSetFont);
  PutDword(t, 0);  // extended style
  PutWord(t, static_cast<unsigned>(def->control_count));
  PutWord(t, 0);
  PutWord(t, 0);
  PutWord(t, static_cast<unsigned>(def->cx));
  PutWord(t, static_cast<unsigned>(def->cy));
  PutWord(t, 0);  // no menu
  PutWord(t, 0);  // the dialog class
  PutText(t, def->caption);
  PutWord(t, static_cast<unsigned>(def->point_size));
  PutText(t, def->font);
  for (int i = 0; i < def->control_count; ++i) {
    const UiControlDef& c = def->controls[i];
    if (t.size() % 2) PutWord(t, 0);  // items start on a DWORD boundary
    PutDword(t, c.style | kWsChild);
    PutDword(t, 0);
    PutWord(t, static_cast<unsigned>(c.x));
    PutWord(t, static_cast<unsigned>(c.y));
    PutWord(t, static_cast<unsigned>(c.cx));
    PutWord(t, static_cast<unsigned>(c.cy));
    PutWord(t, static_cast<unsigned>(c.id & 0xFFFF));
    PutWord(t, 0xFFFF);
    PutWord(t, ClassAtom(c.kind));
    PutText(t, c.text);
    PutWord(t, 0);  // no creation data
  }
}

HWND Item(UiWindow dialog, int id) { return dialog ? GetDlgItem(static_cast<HWND>(dialog), id) : nullptr; }

LRESULT SendItem(UiWindow dialog, int id, UINT message, WPARAM wparam, LPARAM lparam) {
  return SendDlgItemMessageA(static_cast<HWND>(dialog), id, message, wparam, lparam);
}

int ListResult(LRESULT r) { return r == LB_ERR ? -1 : static_cast<int>(r); }

}  // namespace

bool PlatHasRealDialogs() { return true; }

int PlatRunDialog(UiWindow owner, const UiDialogDef* def, UiEventHandler handler, void* context) {
  if (!def || !handler) return -1;
  RealDialog real = {handler, context, nullptr, {}, {}, 0};
  HINSTANCE module = OwnModule();
  HWND parent = owner && IsWindow(static_cast<HWND>(owner)) ? static_cast<HWND>(owner) : nullptr;
  LPCSTR name = MAKEINTRESOURCEA(def->id);
  INT_PTR result;
  if (FindResourceA(module, name, MAKEINTRESOURCEA(5) /* RT_DIALOG */)) {
    result = DialogBoxParamA(module, name, parent, RealDialogProc, reinterpret_cast<LPARAM>(&real));
  } else {
    std::vector<WORD> t;
    try {
      BuildTemplate(def, t);
    } catch (...) {
      return -1;
    }
    result = DialogBoxIndirectParamA(module, reinterpret_cast<LPCDLGTEMPLATEA>(t.data()), parent, RealDialogProc,
                                     reinterpret_cast<LPARAM>(&real));
  }
  ReleaseFonts(&real);
  return static_cast<int>(result);
}

int PlatRunBrowseDialog(UiWindow owner, const UiDialogDef* def, const char* initial, UiEventHandler handler,
                        void* context) {
  if (!def || !handler || g_browser) return -1;
  if (g_sel_changed == 0) g_sel_changed = RegisterWindowMessageA("commdlg_LBSelChangedNotify");
  char file[129] = "", title[129] = "", start[129] = "";
  if (initial) {
    size_t n = std::strlen(initial);
    if (n >= sizeof start) n = sizeof start - 1;
    std::memcpy(start, initial, n);
    start[n] = '\0';
  }
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner && IsWindow(static_cast<HWND>(owner)) ? static_cast<HWND>(owner) : nullptr;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrFileTitle = title;
  ofn.nMaxFileTitle = sizeof title;
  ofn.lpstrInitialDir = start;
  ofn.lpstrTitle = def->caption;
  ofn.lpstrDefExt = "";
  ofn.lpfnHook = BrowseHook;
  ofn.Flags = OFN_ENABLEHOOK | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_NOREADONLYRETURN;
  HINSTANCE module = OwnModule();
  std::vector<WORD> t;
  if (FindResourceA(module, MAKEINTRESOURCEA(def->id), MAKEINTRESOURCEA(5) /* RT_DIALOG */)) {
    ofn.Flags |= OFN_ENABLETEMPLATE;
    ofn.hInstance = module;
    ofn.lpTemplateName = MAKEINTRESOURCEA(def->id);
  } else {
    try {
      BuildTemplate(def, t);
    } catch (...) {
      return -1;
    }
    // A template in memory stands where the system expects a loaded resource.
    ofn.Flags |= OFN_ENABLETEMPLATEHANDLE;
    ofn.hInstance = reinterpret_cast<HINSTANCE>(t.data());
  }
  RealDialog real = {handler, context, nullptr, {}, {}, 0};
  g_browser = &real;
  BOOL ended = GetSaveFileNameA(&ofn);
  g_browser = nullptr;
  ReleaseFonts(&real);
  if (ended) return static_cast<int>(ended);
  return CommDlgExtendedError() == 0 ? 0 : -1;
}

void PlatEndDialog(UiWindow dialog, int result) {
  if (dialog) ::EndDialog(static_cast<HWND>(dialog), result);
}

bool PlatHasControl(UiWindow dialog, int id) { return Item(dialog, id) != nullptr; }

int PlatGetControlText(UiWindow dialog, int id, char* buf, int size) {
  if (buf && size > 0) buf[0] = '\0';
  HWND w = id == -1 ? static_cast<HWND>(dialog) : Item(dialog, id);
  if (!w) return -1;
  int length = GetWindowTextLengthA(w);
  if (buf && size > 0) {
    int got = GetWindowTextA(w, buf, size);
    buf[got < size ? (got < 0 ? 0 : got) : size - 1] = '\0';
  }
  return length;
}

bool PlatSetControlText(UiWindow dialog, int id, const char* text) {
  HWND w = id == -1 ? static_cast<HWND>(dialog) : Item(dialog, id);
  return w && SetWindowTextA(w, text ? text : "");
}

void PlatEnableControl(UiWindow dialog, int id, bool enable) {
  if (HWND w = Item(dialog, id)) EnableWindow(w, enable ? TRUE : FALSE);
}

void PlatShowControl(UiWindow dialog, int id, bool show) {
  if (HWND w = Item(dialog, id)) ShowWindow(w, show ? SW_SHOW : SW_HIDE);
}

bool PlatIsControlEnabled(UiWindow dialog, int id) {
  HWND w = Item(dialog, id);
  return w && IsWindowEnabled(w);
}

bool PlatIsControlVisible(UiWindow dialog, int id) {
  HWND w = Item(dialog, id);
  return w && (GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE) != 0;
}

void PlatLimitText(UiWindow dialog, int id, int limit) {
  if (Item(dialog, id)) SendItem(dialog, id, EM_LIMITTEXT, static_cast<WPARAM>(limit > 0 ? limit : 0), 0);
}

void PlatSelectAllText(UiWindow dialog, int id) {
  if (Item(dialog, id)) SendItem(dialog, id, EM_SETSEL, 0, -1);
}

void PlatSetDefaultButton(UiWindow dialog, int id) {
  if (dialog) SendMessageA(static_cast<HWND>(dialog), DM_SETDEFID, static_cast<WPARAM>(id), 0);
}

void PlatSetFocus(UiWindow dialog, int id) {
  if (HWND w = Item(dialog, id))
    SendMessageA(static_cast<HWND>(dialog), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(w), TRUE);
}

void PlatSendCommand(UiWindow dialog, int id, int code) {
  if (dialog) {
    SendMessageA(static_cast<HWND>(dialog), WM_COMMAND, MAKEWPARAM(id, code),
                 reinterpret_cast<LPARAM>(Item(dialog, id)));
  }
}

void PlatPostCommand(UiWindow dialog, int id, int code) {
  if (dialog) {
    PostMessageA(static_cast<HWND>(dialog), WM_COMMAND, MAKEWPARAM(id, code),
                 reinterpret_cast<LPARAM>(Item(dialog, id)));
  }
}

bool PlatTakeAllKeys(UiWindow dialog, int id) {
  HWND w = Item(dialog, id);
  if (!w || GetWindowLongPtrA(w, GWLP_USERDATA) != 0) return false;
  LONG_PTR own = GetWindowLongPtrA(w, GWLP_WNDPROC);
  if (!own) return false;
  SetWindowLongPtrA(w, GWLP_USERDATA, own);
  SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AllKeysProc));
  return true;
}

bool PlatUseNormalWeightFont(UiWindow dialog, int from, int to) {
  RealDialog* real = RunOf(static_cast<HWND>(dialog));
  HWND source = Item(dialog, from), target = Item(dialog, to);
  if (!real || !source || !target) return false;
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(source, WM_GETFONT, 0, 0));
  if (!font) font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  HFONT copy = nullptr;
  for (int i = 0; i < real->font_count && !copy; ++i) {
    if (real->sources[i] == font) copy = real->fonts[i];
  }
  if (!copy) {
    LOGFONTA face;
    if (real->font_count == kMaxFonts || GetObjectA(font, sizeof face, &face) != sizeof face) return false;
    face.lfWeight = FW_NORMAL;
    if (!(copy = CreateFontIndirectA(&face))) return false;
    real->sources[real->font_count] = font;
    real->fonts[real->font_count++] = copy;
  }
  SendMessageA(target, WM_SETFONT, reinterpret_cast<WPARAM>(copy), TRUE);
  return true;
}

void PlatSetRedraw(UiWindow dialog, int id, bool redraw) {
  HWND w = Item(dialog, id);
  if (!w) return;
  SendMessageA(w, WM_SETREDRAW, redraw ? TRUE : FALSE, 0);
  if (redraw) InvalidateRect(w, nullptr, TRUE);
}

int PlatListAdd(UiWindow dialog, int id, const char* text) {
  if (!Item(dialog, id)) return -1;
  LRESULT r = SendItem(dialog, id, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text ? text : ""));
  return r == LB_ERR || r == LB_ERRSPACE ? -1 : static_cast<int>(r);
}

int PlatListDelete(UiWindow dialog, int id, int index) {
  if (!Item(dialog, id)) return -1;
  return ListResult(SendItem(dialog, id, LB_DELETESTRING, static_cast<WPARAM>(index), 0));
}

int PlatListReset(UiWindow dialog, int id) {
  if (!Item(dialog, id)) return -1;
  SendItem(dialog, id, LB_RESETCONTENT, 0, 0);
  return 0;
}

int PlatListCount(UiWindow dialog, int id) {
  if (!Item(dialog, id)) return -1;
  return ListResult(SendItem(dialog, id, LB_GETCOUNT, 0, 0));
}

int PlatListTextLength(UiWindow dialog, int id, int index) {
  if (!Item(dialog, id)) return -1;
  return ListResult(SendItem(dialog, id, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0));
}

int PlatListText(UiWindow dialog, int id, int index, char* buf) {
  if (buf) buf[0] = '\0';
  if (!buf || !Item(dialog, id)) return -1;
  return ListResult(SendItem(dialog, id, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buf)));
}

int PlatListSetSel(UiWindow dialog, int id, int index, bool selected) {
  HWND w = Item(dialog, id);
  if (!w) return -1;
  LONG style = GetWindowLongA(w, GWL_STYLE);
  if (style & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) {
    return ListResult(SendMessageA(w, LB_SETSEL, selected ? TRUE : FALSE, static_cast<LPARAM>(index)));
  }
  SendMessageA(w, LB_SETCURSEL, static_cast<WPARAM>(selected ? index : -1), 0);
  return 0;
}

int PlatListGetSel(UiWindow dialog, int id, int index) {
  if (!Item(dialog, id)) return -1;
  LRESULT r = SendItem(dialog, id, LB_GETSEL, static_cast<WPARAM>(index), 0);
  return r == LB_ERR ? -1 : (r > 0 ? 1 : 0);
}

int PlatListSelCount(UiWindow dialog, int id) {
  HWND w = Item(dialog, id);
  if (!w) return -1;
  if (GetWindowLongA(w, GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) {
    return ListResult(SendMessageA(w, LB_GETSELCOUNT, 0, 0));
  }
  return SendMessageA(w, LB_GETCURSEL, 0, 0) == LB_ERR ? 0 : 1;
}

int PlatListSelItems(UiWindow dialog, int id, int* items, int max) {
  HWND w = Item(dialog, id);
  if (!w || max < 0) return -1;
  if (GetWindowLongA(w, GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) {
    return ListResult(SendMessageA(w, LB_GETSELITEMS, static_cast<WPARAM>(max), reinterpret_cast<LPARAM>(items)));
  }
  LRESULT cur = SendMessageA(w, LB_GETCURSEL, 0, 0);
  if (cur == LB_ERR || max == 0) return 0;
  if (items) items[0] = static_cast<int>(cur);
  return 1;
}

int PlatListFindExact(UiWindow dialog, int id, const char* text) {
  if (!Item(dialog, id)) return -1;
  return ListResult(
      SendItem(dialog, id, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text ? text : "")));
}

bool PlatGetWindowRect(UiWindow window, int* left, int* top, int* width, int* height) {
  RECT r;
  if (!window || !GetWindowRect(static_cast<HWND>(window), &r)) return false;
  if (left) *left = r.left;
  if (top) *top = r.top;
  if (width) *width = r.right - r.left;
  if (height) *height = r.bottom - r.top;
  return true;
}

bool PlatMoveWindow(UiWindow window, int left, int top) {
  return window && SetWindowPos(static_cast<HWND>(window), nullptr, left, top, 0, 0,
                                SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

void PlatScreenSize(int* width, int* height) {
  if (width) *width = GetSystemMetrics(SM_CXSCREEN);
  if (height) *height = GetSystemMetrics(SM_CYSCREEN);
}

int PlatMenuBarHeight() { return GetSystemMetrics(SM_CYMENU); }

int PlatCaptionHeight() { return GetSystemMetrics(SM_CYCAPTION); }

int PlatFrameWidth(bool thick) { return GetSystemMetrics(thick ? SM_CXFRAME : SM_CXDLGFRAME); }

void PlatCursorPos(int* x, int* y) {
  POINT p = {0, 0};
  GetCursorPos(&p);
  if (x) *x = p.x;
  if (y) *y = p.y;
}

}  // namespace vk
