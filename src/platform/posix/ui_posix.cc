// POSIX has no real windows: the dialog layer runs every dialog in memory,
// so the real-dialog operations only answer failure, and the metrics are
// those of a fixed 1024 x 768 screen.
#include "platform/ui.h"

namespace vk {

bool PlatHasRealDialogs() { return false; }
int PlatRunDialog(UiWindow, const UiDialogDef*, UiEventHandler, void*) { return -1; }
void PlatEndDialog(UiWindow, int) {}
int PlatRunBrowseDialog(UiWindow, const UiDialogDef*, const char*, UiEventHandler, void*) { return -1; }

bool PlatHasControl(UiWindow, int) { return false; }
int PlatGetControlText(UiWindow, int, char* buf, int size) {
  if (buf && size > 0) buf[0] = '\0';
  return -1;
}
bool PlatSetControlText(UiWindow, int, const char*) { return false; }
void PlatEnableControl(UiWindow, int, bool) {}
void PlatShowControl(UiWindow, int, bool) {}
bool PlatIsControlEnabled(UiWindow, int) { return false; }
bool PlatIsControlVisible(UiWindow, int) { return false; }
void PlatLimitText(UiWindow, int, int) {}
void PlatSelectAllText(UiWindow, int) {}
void PlatSetDefaultButton(UiWindow, int) {}
void PlatSetFocus(UiWindow, int) {}
void PlatSendCommand(UiWindow, int, int) {}
void PlatPostCommand(UiWindow, int, int) {}
void PlatSetRedraw(UiWindow, int, bool) {}
bool PlatTakeAllKeys(UiWindow, int) { return false; }
bool PlatUseNormalWeightFont(UiWindow, int, int) { return false; }

int PlatListAdd(UiWindow, int, const char*) { return -1; }
int PlatListDelete(UiWindow, int, int) { return -1; }
int PlatListReset(UiWindow, int) { return -1; }
int PlatListCount(UiWindow, int) { return -1; }
int PlatListTextLength(UiWindow, int, int) { return -1; }
int PlatListText(UiWindow, int, int, char* buf) {
  if (buf) buf[0] = '\0';
  return -1;
}
int PlatListSetSel(UiWindow, int, int, bool) { return -1; }
int PlatListGetSel(UiWindow, int, int) { return -1; }
int PlatListSelCount(UiWindow, int) { return -1; }
int PlatListSelItems(UiWindow, int, int*, int) { return -1; }
int PlatListFindExact(UiWindow, int, const char*) { return -1; }

bool PlatGetWindowRect(UiWindow, int*, int*, int*, int*) { return false; }
bool PlatMoveWindow(UiWindow, int, int) { return false; }

void PlatScreenSize(int* width, int* height) {
  if (width) *width = 1024;
  if (height) *height = 768;
}
int PlatMenuBarHeight() { return 19; }
int PlatCaptionHeight() { return 18; }
int PlatFrameWidth(bool thick) { return thick ? 4 : 3; }
void PlatCursorPos(int* x, int* y) {
  if (x) *x = 512;
  if (y) *y = 384;
}

}  // namespace vk
