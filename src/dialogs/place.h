// Where a dialog of the library opens on the screen.  Every dialog places
// itself with PlaceDialog when it opens, so a dialog of a given size lands
// on the same spot on either backend for the same screen.
#ifndef VKMSG_DIALOGS_PLACE_H
#define VKMSG_DIALOGS_PLACE_H

#include "dialogs/dialog.h"

namespace vk {

enum PlaceMode {
  kPlaceCentre = 1,  // (SW - W) / 2, (SH - H) / 2; also any unknown mode
  kPlaceUpper = 2,   // centred, then SH / 4 higher
  kPlaceLower = 4,   // centred, then SH / 4 lower
  kPlaceOnOk = 8,    // the mouse cursor on the centre of button 1
  kPlaceAt = 16,     // (x, y) as given
};

// The screen and window metrics a placement works with, in pixels.
struct PlaceMetrics {
  int screen_width, screen_height;
  int menu_height, caption_height;
  int cursor_x, cursor_y;
};

// The metrics of `d`: a real dialog uses the platform's; a dialog played in
// memory always sees a 1024 x 768 screen with the system's default menu bar
// (19) and caption (18) and the cursor in the screen's centre, so automated
// runs place alike everywhere.
PlaceMetrics DialogMetrics(Dialog* d);

// The top-left corner for a dialog of `width` x `height` pixels: the
// mode's position; then the top at least a menu bar, a caption and 42
// pixels down; then a 15-pixel margin kept from every screen edge (a bottom
// or right edge past the margin pulls the dialog back, else a top or left
// edge inside it pushes the dialog in).  `ok_x`, `ok_y` locate the centre
// of button 1 relative to the dialog's corner (mode 8 only).
void PlacePosition(const PlaceMetrics& m, int mode, int x, int y, int width, int height, int ok_x, int ok_y, int* left,
                   int* top);

// Moves `d` by PlacePosition, keeping its size.  The two-argument form is
// x = y = 0.
void PlaceDialog(Dialog* d, int mode, int x = 0, int y = 0);

}  // namespace vk

#endif
