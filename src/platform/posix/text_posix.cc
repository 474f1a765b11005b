// Text comparison on POSIX, ordered like the Windows word sort for ASCII.
#include "platform/text.h"

namespace vk {

namespace {

// Blanks and punctuation in the order the Windows word sort gives them.
constexpr char kPunctuationOrder[] = "'- !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>";

// The sort weight of one byte: controls, then blanks and punctuation, then
// digits, then letters without regard to case, then the bytes above ASCII in
// code order.
int Weight(unsigned char c) {
  if (c < 0x20 || c == 0x7f) return c;
  if (c >= '0' && c <= '9') return 0x200 + c;
  if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'Z') return 0x300 + c;
  if (c >= 0x80) return 0x400 + c;
  for (int i = 0; kPunctuationOrder[i] != '\0'; ++i) {
    if (static_cast<unsigned char>(kPunctuationOrder[i]) == c) return 0x100 + i;
  }
  return 0x100 + c;
}

// The word sort passes over hyphens and apostrophes first ("co-op" sorts
// beside "coop"); they count only to separate strings equal without them.
bool Ignorable(unsigned char c) { return c == '-' || c == '\''; }

int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

}  // namespace

int PlatCompareNoCase(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return a == b ? 0 : (a == nullptr ? -1 : 1);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
  for (;;) {
    while (Ignorable(*p)) ++p;
    while (Ignorable(*q)) ++q;
    if (*p == 0 || *q == 0) {
      if (*p != *q) return *p == 0 ? -1 : 1;
      break;
    }
    int d = Weight(*p) - Weight(*q);
    if (d != 0) return Sign(d);
    ++p;
    ++q;
  }
  // Equal apart from hyphens and apostrophes: those decide in their own
  // order (an apostrophe before a hyphen, fewer before more), then by where
  // they stand (earlier sorts later).
  const unsigned char* s = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* t = reinterpret_cast<const unsigned char*>(b);
  for (;;) {
    while (*s != 0 && !Ignorable(*s)) ++s;
    while (*t != 0 && !Ignorable(*t)) ++t;
    if (*s == 0 || *t == 0) {
      if (*s != *t) return *s == 0 ? -1 : 1;
      break;
    }
    if (*s != *t) return Sign(Weight(*s) - Weight(*t));
    ++s;
    ++t;
  }
  p = reinterpret_cast<const unsigned char*>(a);
  q = reinterpret_cast<const unsigned char*>(b);
  for (; *p != 0 && *q != 0; ++p, ++q) {
    bool ia = Ignorable(*p), ib = Ignorable(*q);
    if (ia != ib) return ia ? 1 : -1;
  }
  return 0;
}

}  // namespace vk
