// Text operations the platform defines: the case-insensitive comparison that
// orders and matches names, paths and field names.
#ifndef VKMSG_PLATFORM_TEXT_H
#define VKMSG_PLATFORM_TEXT_H

namespace vk {

// Case-insensitive comparison in the manner of the Windows one (lstrcmpiA,
// the word sort): negative, 0, positive.  Null sorts before everything; two
// nulls are equal.  Both backends give the same order for printable ASCII:
// blanks and punctuation (in the order ' - blank ! " # $ % & ( ) * , . / : ;
// ? @ [ \ ] ^ _ ` { | } ~ + < = >) before digits before letters, letters
// without regard to case; hyphens and apostrophes are passed over at first
// and only part strings that are equal without them ("coop" < "co-op").
// Strings equal but for case compare 0.  Bytes above ASCII: code order on
// POSIX, the code page's order on Windows.
int PlatCompareNoCase(const char* a, const char* b);

}  // namespace vk

#endif
