// User interface of the platform: the description of a dialog template (the
// library's own templates are tables of these records), the real modal
// dialog and the directory browser of the Win32 backend and the operations
// on their controls, and the screen metrics that dialog placement needs.
//
// Window handles are opaque (`UiWindow`).  The POSIX backend has no real
// windows: PlatRunDialog answers -1 there and the control operations answer
// their failure values; the dialog layer runs every dialog in memory instead.
#ifndef VKMSG_PLATFORM_UI_H
#define VKMSG_PLATFORM_UI_H

namespace vk {

using UiWindow = void*;

// Control kinds of a template, each with its window class.
enum UiControlKind {
  kUiStatic = 0,    // "Static"
  kUiEdit = 1,      // "Edit"
  kUiButton = 2,    // "Button": push buttons, group boxes, check boxes
  kUiListBox = 3,   // "ListBox"
  kUiComboBox = 4,  // "ComboBox"
};

// Window styles, with the Win32 values so that a template can be handed to
// the system unchanged.
constexpr unsigned long kWsPopup = 0x80000000ul;
constexpr unsigned long kWsChild = 0x40000000ul;
constexpr unsigned long kWsVisible = 0x10000000ul;
constexpr unsigned long kWsDisabled = 0x08000000ul;
constexpr unsigned long kWsCaption = 0x00C00000ul;
constexpr unsigned long kWsBorder = 0x00800000ul;
constexpr unsigned long kWsVScroll = 0x00200000ul;
constexpr unsigned long kWsHScroll = 0x00100000ul;
constexpr unsigned long kWsSysMenu = 0x00080000ul;
constexpr unsigned long kWsThickFrame = 0x00040000ul;
constexpr unsigned long kWsGroup = 0x00020000ul;
constexpr unsigned long kWsTabStop = 0x00010000ul;
constexpr unsigned long kDsModalFrame = 0x0080ul;
constexpr unsigned long kDsSetFont = 0x0040ul;

constexpr unsigned long kSsLeft = 0x0000ul;
constexpr unsigned long kSsCenter = 0x0001ul;
constexpr unsigned long kSsRight = 0x0002ul;

constexpr unsigned long kEsMultiline = 0x0004ul;
constexpr unsigned long kEsPassword = 0x0020ul;
constexpr unsigned long kEsAutoVScroll = 0x0040ul;
constexpr unsigned long kEsAutoHScroll = 0x0080ul;
constexpr unsigned long kEsWantReturn = 0x1000ul;

constexpr unsigned long kBsPushButton = 0x0000ul;
constexpr unsigned long kBsDefPushButton = 0x0001ul;
constexpr unsigned long kBsAutoCheckBox = 0x0003ul;
constexpr unsigned long kBsGroupBox = 0x0007ul;
constexpr unsigned long kBsTypeMask = 0x000Ful;

constexpr unsigned long kLbsNotify = 0x0001ul;
constexpr unsigned long kLbsSort = 0x0002ul;
constexpr unsigned long kLbsHasStrings = 0x0040ul;
constexpr unsigned long kLbsMultipleSel = 0x0008ul;
constexpr unsigned long kLbsOwnerDrawFixed = 0x0010ul;
constexpr unsigned long kLbsDisableNoScroll = 0x1000ul;
constexpr unsigned long kLbsNoIntegralHeight = 0x0100ul;
constexpr unsigned long kLbsExtendedSel = 0x0800ul;

constexpr unsigned long kCbsDropDownList = 0x0003ul;
constexpr unsigned long kCbsOwnerDrawFixed = 0x0010ul;
constexpr unsigned long kCbsAutoHScroll = 0x0040ul;
constexpr unsigned long kCbsSort = 0x0100ul;
constexpr unsigned long kCbsHasStrings = 0x0200ul;

// Notification codes carried by a command, with the Win32 values.
constexpr int kBnClicked = 0;
constexpr int kEnSetFocus = 0x0100;
constexpr int kEnChange = 0x0300;
constexpr int kLbnSelChange = 1;
constexpr int kLbnDblClk = 2;
constexpr int kLbnSetFocus = 4;

// One control of a template.  `style` holds the class's own bits and the
// window bits (kWsVisible, kWsTabStop, ...); kWsChild is implied.
struct UiControlDef {
  int id;  // -1 for a static text nobody addresses
  UiControlKind kind;
  const char* text;
  unsigned long style;
  short x, y, cx, cy;  // dialog units
};

struct UiDialogDef {
  int id;
  const char* caption;
  unsigned long style;
  const char* font;
  short point_size;
  short cx, cy;  // dialog units
  const UiControlDef* controls;
  int control_count;
};

// What the backend reports to the procedure of a real dialog.  kUiBrowse
// comes only from the directory browser (PlatRunBrowseDialog).
enum UiEvent { kUiInit = 0, kUiCommand = 1, kUiClose = 2, kUiBrowse = 3 };
// Returns nonzero when it handled the event (an unhandled close request
// becomes a Cancel command, as the system's dialog handling does).
using UiEventHandler = int (*)(void* context, UiWindow dialog, int event, int id, int code);

// True where the platform has real dialogs (Win32); elsewhere every dialog
// runs in memory.
bool PlatHasRealDialogs();

// Runs `def` as a real modal dialog owned by `owner`: the template of the
// module's resources when the module has one of that id, else the same
// template built in memory.  Answers the value the dialog ended with, -1
// when it could not be shown (always on POSIX).
int PlatRunDialog(UiWindow owner, const UiDialogDef* def, UiEventHandler handler, void* context);
void PlatEndDialog(UiWindow dialog, int result);

// The platform's directory browser: the system's save-file dialog in its
// old style on template `def` (the module's resource of that id when the
// module has one, else built from `def`), with its caption, starting in
// `initial`, and `handler` as its hook.  The standard dialog owns three
// controls of the template: it shows the current directory in 1088 (made
// read-only), lists its subdirectories in 1121 and the drives in 1137, and
// moves to another directory by itself.  The handler sees kUiInit once the
// standard dialog has filled them, every command before the standard dialog
// does (a nonzero answer keeps the command from it), kUiClose, and
// kUiBrowse (id: the list) after the standard dialog moved or changed a
// list's selection.  The hook keeps the focus where the handler put it at
// kUiInit.  Answers the value the handler ended the dialog with
// (PlatEndDialog), 0 when the standard dialog ended it itself, -1 when it
// could not be shown or reported an error (always on POSIX).  One browser
// runs at a time.
int PlatRunBrowseDialog(UiWindow owner, const UiDialogDef* def, const char* initial, UiEventHandler handler,
                        void* context);

// Controls of a real dialog, by id.
bool PlatHasControl(UiWindow dialog, int id);
// The text's length, -1 without such a control; copies at most size - 1
// characters and a terminator (id -1: the caption).
int PlatGetControlText(UiWindow dialog, int id, char* buf, int size);
bool PlatSetControlText(UiWindow dialog, int id, const char* text);
void PlatEnableControl(UiWindow dialog, int id, bool enable);
void PlatShowControl(UiWindow dialog, int id, bool show);
bool PlatIsControlEnabled(UiWindow dialog, int id);
bool PlatIsControlVisible(UiWindow dialog, int id);
void PlatLimitText(UiWindow dialog, int id, int limit);
void PlatSelectAllText(UiWindow dialog, int id);
void PlatSetDefaultButton(UiWindow dialog, int id);
void PlatSetFocus(UiWindow dialog, int id);
void PlatSendCommand(UiWindow dialog, int id, int code);
// Queues the command: the dialog receives it after the current message and
// whatever the system does next.
void PlatPostCommand(UiWindow dialog, int id, int code);
void PlatSetRedraw(UiWindow dialog, int id, bool redraw);
// Lets the control take every key, Tab, Enter and Escape included, instead
// of the dialog; it does so until it is destroyed with the dialog.
bool PlatTakeAllKeys(UiWindow dialog, int id);
// Gives control `to` a copy of control `from`'s font at normal weight (400).
// The copy belongs to the dialog's run, which releases it at its end; a
// dialog holds at most four such copies.
bool PlatUseNormalWeightFont(UiWindow dialog, int from, int to);

// List boxes of a real dialog; -1 for an error, as the system's list box.
int PlatListAdd(UiWindow dialog, int id, const char* text);
int PlatListDelete(UiWindow dialog, int id, int index);
int PlatListReset(UiWindow dialog, int id);
int PlatListCount(UiWindow dialog, int id);
int PlatListTextLength(UiWindow dialog, int id, int index);
// Copies the whole item into buf, which must hold PlatListTextLength + 1.
int PlatListText(UiWindow dialog, int id, int index, char* buf);
// Index -1 changes every item.  A single-selection list box selects
// `index` (or nothing when `selected` is false).
int PlatListSetSel(UiWindow dialog, int id, int index, bool selected);
int PlatListGetSel(UiWindow dialog, int id, int index);
int PlatListSelCount(UiWindow dialog, int id);
int PlatListSelItems(UiWindow dialog, int id, int* items, int max);
int PlatListFindExact(UiWindow dialog, int id, const char* text);

// Window placement.
bool PlatGetWindowRect(UiWindow window, int* left, int* top, int* width, int* height);
bool PlatMoveWindow(UiWindow window, int left, int top);

// Metrics in pixels.  POSIX answers fixed values: a 1024 x 768 screen, a
// menu bar of 19, a caption of 18 and the cursor in the screen's centre.
void PlatScreenSize(int* width, int* height);
int PlatMenuBarHeight();
int PlatCaptionHeight();
// The width of a dialog frame with (thick) or without a sizing border.
int PlatFrameWidth(bool thick);
void PlatCursorPos(int* x, int* y);

}  // namespace vk

#endif
