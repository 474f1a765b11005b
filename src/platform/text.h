// Text operations the platform defines: the case-insensitive comparison that
// orders and matches names, paths and field names.
#ifndef VKMSG_PLATFORM_TEXT_H
#define VKMSG_PLATFORM_TEXT_H

namespace vk {

// Case-insensitive comparison in the manner of the Windows one: negative,
// 0, positive.  Null sorts before everything; two nulls are equal.  Both
// backends give the same order for printable ASCII: blanks and punctuation
// before digits before letters, letters without regard to case.
int PlatCompareNoCase(const char* a, const char* b);

}  // namespace vk

#endif
