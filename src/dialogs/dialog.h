// The library's dialog layer.  A dialog procedure is written once against
// this small interface and runs on either backend: on Windows as the real
// dialog of the module's resources, and, when a dialog driver is installed
// (vk_set_dialog_driver) and always on POSIX, on an in-memory dialog with
// the same controls while the driver plays the user.  Without a driver on
// POSIX every dialog is cancelled: the procedure sees its initialisation
// and then a close request.  The two implementations sit behind one table
// of operations (dialog_impl.h); the driver's calls are in automation.cc.
//
// Controls are addressed by id.  Setting an edit field's text from the
// procedure sends the field's change notification (as the system's edit
// control does); the text limit applies only to what the user types.
#ifndef VKMSG_DIALOGS_DIALOG_H
#define VKMSG_DIALOGS_DIALOG_H

#include "dialogs/resources.h"
#include "platform/ui.h"

namespace vk {

struct DialogRun;
using Dialog = DialogRun;

enum DialogEvent {
  kDlgInit = kUiInit,        // after the controls exist
  kDlgCommand = kUiCommand,  // id: the control, code: its notification
  kDlgClose = kUiClose,      // the close box, or an automated run ending
  kDlgBrowse = kUiBrowse,    // the platform's browser moved (id: the list)
};

// Returns nonzero when it handled the event.  An unhandled close request
// becomes the Cancel command (id 2).
using DialogProc = int (*)(Dialog* d, int event, int id, int code, void* param);

// Runs template `template_id` modally, owned by `owner` (a window handle,
// or null).  Answers the value given to EndDialog, 2 (Cancel) when an
// automated run had to end a dialog that ignored its close request, and -1
// when the template is unknown or the dialog could not be shown.
int RunDialog(UiWindow owner, int template_id, DialogProc proc, void* param);
// Runs template `template_id` as a directory browser starting in `initial`.
// Where dialogs are real it is the platform's browser with `proc` as its
// hook (see PlatRunBrowseDialog: the platform keeps the current directory
// in 1088, the subdirectories in 1121 and the drives in 1137, and moves by
// itself); elsewhere it is RunDialog's in-memory dialog, on which the
// procedure browses itself.  DialogIsPlatformBrowser tells the two apart.
// Answers as RunDialog.
int RunBrowseDialog(UiWindow owner, int template_id, const char* initial, DialogProc proc, void* param);
bool DialogIsPlatformBrowser(const Dialog* d);

// Ends the dialog with `result`; the run returns it once the current event
// has been handled.
void EndDialog(Dialog* d, int result);
bool DialogIsOpen(const Dialog* d);
int DialogTemplateId(const Dialog* d);
// The window to own dialogs opened from this one.
UiWindow DialogWindow(const Dialog* d);

// Controls.  Operations on an absent control do nothing and answer failure.
bool HasControl(Dialog* d, int id);
// The text's length, -1 without such a control; copies at most size - 1
// characters and a terminator.  Id -1 is the caption.
int GetControlText(Dialog* d, int id, char* buf, int size);
bool SetControlText(Dialog* d, int id, const char* text);
void EnableControl(Dialog* d, int id, bool enable);
void ShowControl(Dialog* d, int id, bool show);
bool IsControlEnabled(Dialog* d, int id);
bool IsControlVisible(Dialog* d, int id);
// The most characters the user may type into an edit field (0: no limit).
void LimitText(Dialog* d, int id, int limit);
void SelectAllText(Dialog* d, int id);
void SetDefaultButton(Dialog* d, int id);
void SetFocusControl(Dialog* d, int id);
// Sends the dialog a command as if control `id` had notified `code`.
void SendCommand(Dialog* d, int id, int code);
// The same command, after the current event and whatever the system does
// next (in memory, where the system does nothing more: at once).
void PostCommand(Dialog* d, int id, int code);
void SetRedraw(Dialog* d, int id, bool redraw);
// The control takes every key itself, Tab and Enter included, instead of
// the dialog (nothing to do in memory, where keys are the driver's).
void TakeAllKeys(Dialog* d, int id);
// Control `to` shows a normal-weight copy of control `from`'s font, which
// the dialog releases when it ends (nothing to do in memory).
void UseNormalWeightFont(Dialog* d, int from, int to);

// List boxes.  Indices start at 0; -1 reports an error.
int ListAdd(Dialog* d, int id, const char* text);  // appends; the new index
int ListDelete(Dialog* d, int id, int index);      // the remaining count
void ListReset(Dialog* d, int id);
int ListCount(Dialog* d, int id);
int ListTextLength(Dialog* d, int id, int index);
// Selects (or deselects) item `index`, every item for -1.
int ListSetSel(Dialog* d, int id, int index, bool selected);
int ListGetSel(Dialog* d, int id, int index);  // 1 selected, 0 not, -1 error
int ListSelCount(Dialog* d, int id);
// Fills `items` with at most `max` selected indices, ascending; their count.
int ListSelItems(Dialog* d, int id, int* items, int max);
// The index of the item equal to `text` without regard to case, or -1.
int ListFindExact(Dialog* d, int id, const char* text);

// The item's text copied bounded into buf (at most size - 1 characters and
// a terminator, through a temporary block when it is longer); answers the
// item's length, -1 for a bad index or control.
int GetListText(Dialog* d, int id, int index, char* buf, int size);

// Loads string `string_id` of the string table: at most size - 1
// characters and a terminator; its length, 0 when there is no such string.
int LoadStringText(int string_id, char* buf, int size);
// Shows string `string_id` in status line `id`: 0 when the control is
// absent or the string unknown, else 1.
int ShowStatusMessage(Dialog* d, int id, int string_id);

// Placement: the dialog's screen rectangle in pixels and a move keeping its
// size; the screen and window metrics come from platform/ui.h.
bool GetDialogRect(Dialog* d, int* left, int* top, int* width, int* height);
void MoveDialog(Dialog* d, int left, int top);

}  // namespace vk

#endif
