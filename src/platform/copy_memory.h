// The copy through memory that both backends fall back on where the file
// system makes no copy of its own.  It uses nothing of the platform but its
// own calls, so it is written once for both.
#ifndef VKMSG_PLATFORM_COPY_MEMORY_H
#define VKMSG_PLATFORM_COPY_MEMORY_H

#include <cstdint>

#include "platform/file.h"

namespace vk {

// PlatCopyContents through a buffer of 1 MiB (halved while memory is short,
// down to 4 KiB): each chunk is the PlatRead and PlatWrite it makes, each a
// fault step, and the buffer a memory step.  When no buffer can be had,
// *failed is kMemory and `set_error` (the backend's) records the failure.
int64_t CopyThroughMemory(FileHandle src, FileHandle dst, CopyFailure* failed, void (*set_error)(PlatError));

}  // namespace vk

#endif
