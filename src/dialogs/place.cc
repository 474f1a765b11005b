// Dialog placement.
#include "dialogs/place.h"

#include "dialogs/resources.h"
#include "platform/ui.h"

namespace vk {

namespace {

constexpr int kHeadlessScreenWidth = 1024;
constexpr int kHeadlessScreenHeight = 768;
constexpr int kDefaultMenuHeight = 19;
constexpr int kDefaultCaptionHeight = 18;
// Below the menu bar and caption of a full-screen host window.
constexpr int kTopClearance = 42;
constexpr int kEdgeMargin = 15;
// Pixels per 4 horizontal and 8 vertical dialog units of the templates'
// 8-point font at 96 dots per inch.
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;

// The centre of button 1 from the dialog's top-left corner, from its
// template; the dialog's own centre when it has none.
void OkCentre(Dialog* d, int width, int height, int* x, int* y) {
  *x = width / 2;
  *y = height / 2;
  const UiDialogDef* def = FindDialogTemplate(DialogTemplateId(d));
  if (!def) return;
  for (int i = 0; i < def->control_count; ++i) {
    const UiControlDef& c = def->controls[i];
    if (c.id != kIdOk) continue;
    int frame = PlatFrameWidth((def->style & kWsThickFrame) != 0);
    int caption = (def->style & kWsCaption) == kWsCaption ? PlatCaptionHeight() : 0;
    *x = frame + (c.x * 2 + c.cx) * kBaseUnitX / 8;
    *y = frame + caption + (c.y * 2 + c.cy) * kBaseUnitY / 16;
    return;
  }
}

}  // namespace

PlaceMetrics DialogMetrics(Dialog* d) {
  PlaceMetrics m;
  if (DialogWindow(d) == nullptr) {
    m.screen_width = kHeadlessScreenWidth;
    m.screen_height = kHeadlessScreenHeight;
    m.menu_height = kDefaultMenuHeight;
    m.caption_height = kDefaultCaptionHeight;
    m.cursor_x = kHeadlessScreenWidth / 2;
    m.cursor_y = kHeadlessScreenHeight / 2;
    return m;
  }
  PlatScreenSize(&m.screen_width, &m.screen_height);
  m.menu_height = PlatMenuBarHeight();
  m.caption_height = PlatCaptionHeight();
  PlatCursorPos(&m.cursor_x, &m.cursor_y);
  return m;
}

void PlacePosition(const PlaceMetrics& m, int mode, int x, int y, int width, int height, int ok_x, int ok_y, int* left,
                   int* top) {
  int l = (m.screen_width - width) / 2;
  int t = (m.screen_height - height) / 2;
  switch (mode) {
    case kPlaceUpper:
      t -= m.screen_height / 4;
      break;
    case kPlaceLower:
      t += m.screen_height / 4;
      break;
    case kPlaceOnOk:
      l = m.cursor_x - ok_x;
      t = m.cursor_y - ok_y;
      break;
    case kPlaceAt:
      l = x;
      t = y;
      break;
    default:
      break;
  }
  int lowest_top = m.menu_height + m.caption_height + kTopClearance;
  if (t < lowest_top) t = lowest_top;
  if (t + height > m.screen_height - kEdgeMargin) {
    t = m.screen_height - kEdgeMargin - height;
  } else if (t < kEdgeMargin) {
    t = kEdgeMargin;
  }
  if (l + width > m.screen_width - kEdgeMargin) {
    l = m.screen_width - kEdgeMargin - width;
  } else if (l < kEdgeMargin) {
    l = kEdgeMargin;
  }
  *left = l;
  *top = t;
}

void PlaceDialog(Dialog* d, int mode, int x, int y) {
  int width = 0, height = 0;
  if (!GetDialogRect(d, nullptr, nullptr, &width, &height)) return;
  int ok_x = 0, ok_y = 0;
  if (mode == kPlaceOnOk) OkCentre(d, width, height, &ok_x, &ok_y);
  int left = 0, top = 0;
  PlacePosition(DialogMetrics(d), mode, x, y, width, height, ok_x, ok_y, &left, &top);
  MoveDialog(d, left, top);
}

}  // namespace vk
