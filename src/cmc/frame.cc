// The error slots and the extension processing shared by the entry points.
#include "cmc/frame.h"

#include <cstring>

#include "cmc/session.h"
#include "dialogs/dialog.h"

namespace vk {

namespace {

bool AnswerSupportQuery(CMC_extension* ext) {
  if (ext->item_reference == nullptr) return false;
  CMC_X_COM_support* pairs = static_cast<CMC_X_COM_support*>(ext->item_reference);
  for (CMC_uint32 i = 0; i < ext->item_data; ++i) {
    pairs[i].flags = pairs[i].item_code == X_ERROR_TEXT ? CMC_X_COM_SUPPORTED : CMC_X_COM_NOT_SUPPORTED;
  }
  return true;
}

bool AnswerErrorText(CMC_extension* ext) {
  if (ext->item_reference == nullptr) return false;
  X_error_text_request* request = static_cast<X_error_text_request*>(ext->item_reference);
  SessionRecord& s = Session();
  request->code = s.last_error;
  ErrorSlot& slot = s.slot[(ext->extension_flags & 1u) ? 1 : 0];
  slot.text[kErrorTextSize - 1] = '\0';
  if (slot.string_id != 0 && slot.text[0] == '\0') {
    if (LoadStringText(slot.string_id, slot.text, kErrorTextSize) <= 0) slot.text[0] = '\0';
    slot.text[kErrorTextSize - 1] = '\0';
  }
  const size_t len = std::strlen(slot.text);
  if (request->size != 0 && request->buffer != nullptr) {
    size_t n = len;
    if (n > request->size - 1) n = request->size - 1;
    std::memcpy(request->buffer, slot.text, n);
    request->buffer[n] = '\0';
  }
  request->size = static_cast<CMC_uint32>(len + 1);
  return true;
}

}  // namespace

CMC_return_code ProcessExtensions(CMC_extension* extensions, ExtensionMode mode) {
  if (extensions == nullptr) return CMC_SUCCESS;
  CMC_return_code result = CMC_SUCCESS;
  for (CMC_extension* ext = extensions;; ++ext) {
    bool ok = true;
    if (ext->item_code == CMC_X_COM_SUPPORT_EXT) {
      ok = AnswerSupportQuery(ext);
    } else if (ext->item_code == X_ERROR_TEXT && mode == ExtensionMode::kConfiguration) {
      ok = AnswerErrorText(ext);
    }
    if (!ok) result = CMC_E_INVALID_PARAMETER;
    if (IsLastElement(ext->extension_flags)) break;
  }
  return result;
}

}  // namespace vk
