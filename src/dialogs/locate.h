// Locating the mail tree: the browser of template 1008 in which the user
// walks to an existing tree (OK) or to an empty shared directory (Setup,
// after the confirmation of template 1010), and the confirmation itself.
// With real dialogs the browser is the platform's (RunBrowseDialog), which
// keeps the current directory in 1088, its subdirectories in 1121 and the
// drives in 1137.  In memory it is the library's own: 1088 holds the
// current directory (typing an existing directory there moves the browser
// to it), 1121 lists its subdirectories and ".." (a double click enters
// one), and the drive list stays hidden: a drive is reached by typing it
// into 1088.  Either way OK and Setup follow isVeskMsgDir of what 1088
// names: OK for a tree, Setup for any other directory.
#ifndef VKMSG_DIALOGS_LOCATE_H
#define VKMSG_DIALOGS_LOCATE_H

#include "dialogs/dialog.h"

namespace vk {

// The browser, owned by `parent`, starting in `initial` (null, empty or
// missing: the current directory of the process).  The directory chosen
// with OK or set up with Setup, as the browser spelled it, in a buffer of
// the module's that lasts until the next call; null after Offline, the
// close box, or when the dialog cannot be shown.
const char* LocateDialog(UiWindow parent, const char* initial, int template_id);

// Asks, in dialog 1010 showing `directory`, whether a tree is to be made
// there: 1 for Setup, else 0.
int ConfirmSetup(UiWindow parent, const char* directory);

// bInitServerDlg: the browser from `buffer`; the chosen directory comes
// back in `buffer` (bounded by `size`) with a separator and the mail
// directory part (MHS, MAIL) appended unless it holds them.  On Windows it is upper-cased; on POSIX,
// where case tells names apart, it keeps its spelling and the appended part
// takes the spelling the tree has on disk.  1 when a directory was chosen.
int InitServerDialog(char* buffer, int size);

}  // namespace vk

#endif
