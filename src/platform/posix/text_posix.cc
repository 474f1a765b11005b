// Text comparison on POSIX, ordered like the Windows word sort for ASCII.
#include "platform/text.h"

namespace vk {

namespace {

// The sort weight of one byte: controls, then blanks and punctuation (in
// code order), then digits, then letters without regard to case, then the
// bytes above ASCII in code order.
int Weight(unsigned char c) {
  if (c < 0x20 || c == 0x7f) return c;
  if (c >= '0' && c <= '9') return 0x200 + c;
  if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'Z') return 0x300 + c;
  if (c >= 0x80) return 0x400 + c;
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
  // Equal apart from hyphens and apostrophes: fewer of them sorts first,
  // then the one whose first differs comes earlier sorts later.
  p = reinterpret_cast<const unsigned char*>(a);
  q = reinterpret_cast<const unsigned char*>(b);
  int count_a = 0, count_b = 0;
  for (const unsigned char* s = p; *s != 0; ++s) count_a += Ignorable(*s);
  for (const unsigned char* s = q; *s != 0; ++s) count_b += Ignorable(*s);
  if (count_a != count_b) return count_a < count_b ? -1 : 1;
  for (; *p != 0 && *q != 0; ++p, ++q) {
    bool ia = Ignorable(*p), ib = Ignorable(*q);
    if (ia != ib) return ia ? 1 : -1;
    if (ia && *p != *q) return Sign(Weight(*p) - Weight(*q));
  }
  return 0;
}

}  // namespace vk
