// Stand-in for the parcel module until it exists: without it no attachment
// can be copied, so a message with attachments fails to be written.  Remove
// this file when CopyToParcel is implemented.
#include "send/smf_writer.h"

namespace vk {

CMC_return_code CopyToParcel(const char* sourcePath, char* nameOut, size_t nameSize) {
  (void)sourcePath;
  if (nameOut && nameSize > 0) nameOut[0] = '\0';
  return CMC_E_FAILURE;
}

}  // namespace vk
