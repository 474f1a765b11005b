// What lies behind the dialog façade: the record of one running dialog and
// the table of operations each implementation fills, one for the platform's
// real dialog (dialog_real.cc) and one for the in-memory dialog a driver
// plays (dialog_memory.cc).  The façade (dialog.cc) checks its arguments
// and hands every call to the running dialog's table, so a procedure never
// learns which one it runs on.
#ifndef VKMSG_DIALOGS_DIALOG_IMPL_H
#define VKMSG_DIALOGS_DIALOG_IMPL_H

#include "dialogs/dialog.h"

namespace vk {

struct MemDialog;

// Every operation receives a non-null dialog and a non-null text; the
// answers are those of the façade's functions of the same name.
struct DialogOps {
  void (*end)(DialogRun* d, int result);  // after the façade closed the run
  UiWindow (*window)(const DialogRun* d);
  bool (*has_control)(DialogRun* d, int id);
  int (*get_text)(DialogRun* d, int id, char* buf, int size);
  bool (*set_text)(DialogRun* d, int id, const char* text);
  void (*enable)(DialogRun* d, int id, bool enable);
  void (*show)(DialogRun* d, int id, bool show);
  bool (*is_enabled)(DialogRun* d, int id);
  bool (*is_visible)(DialogRun* d, int id);
  void (*limit_text)(DialogRun* d, int id, int limit);
  void (*select_all)(DialogRun* d, int id);
  void (*set_default)(DialogRun* d, int id);
  void (*set_focus)(DialogRun* d, int id);
  void (*send_command)(DialogRun* d, int id, int code);
  void (*post_command)(DialogRun* d, int id, int code);
  void (*set_redraw)(DialogRun* d, int id, bool redraw);
  void (*take_all_keys)(DialogRun* d, int id);
  void (*normal_font)(DialogRun* d, int from, int to);
  int (*list_add)(DialogRun* d, int id, const char* text);
  int (*list_delete)(DialogRun* d, int id, int index);
  void (*list_reset)(DialogRun* d, int id);
  int (*list_count)(DialogRun* d, int id);
  int (*list_text_length)(DialogRun* d, int id, int index);
  int (*list_text)(DialogRun* d, int id, int index, char* buf, int size);
  int (*list_set_sel)(DialogRun* d, int id, int index, bool selected);
  int (*list_get_sel)(DialogRun* d, int id, int index);
  int (*list_sel_count)(DialogRun* d, int id);
  int (*list_sel_items)(DialogRun* d, int id, int* items, int max);
  int (*list_find_exact)(DialogRun* d, int id, const char* text);
  bool (*get_rect)(DialogRun* d, int* left, int* top, int* width, int* height);
  void (*move)(DialogRun* d, int left, int top);
};

struct DialogRun {
  const DialogOps* ops;
  const UiDialogDef* def;
  DialogProc proc;
  void* param;
  bool open;
  bool browser;  // the platform's directory browser (RunBrowseDialog)
  int result;
  UiWindow window;  // the real dialog's window, null until it exists
  MemDialog* mem;   // the in-memory dialog's controls, null for a real one
};

// Hands an event to the procedure while the dialog is open; its answer.
int DispatchDialogEvent(DialogRun* d, int event, int id, int code);
// A close request: the procedure's own handling, else the system's, which
// turns it into Cancel.
void RequestDialogClose(DialogRun* d);

// Each runs `d` (filled but for ops, window and mem) to its end and answers
// its result, -1 when it could not be shown.  RunRealBrowseDialog runs it
// as the platform's directory browser starting in `initial`.
int RunRealDialog(UiWindow owner, DialogRun* d);
int RunRealBrowseDialog(UiWindow owner, DialogRun* d, const char* initial);
int RunMemoryDialog(DialogRun* d);
// True while a driver is installed: every dialog then runs in memory.
bool MemoryDialogsDriven();

}  // namespace vk

#endif
