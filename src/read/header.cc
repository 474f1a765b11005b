#include "read/header.h"

#include <cstring>

#include "store/namelist.h"
#include "platform/text.h"
#include "store/fileprim.h"

namespace vk {

namespace {

bool IsWhite(unsigned char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D); }

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

unsigned char FoldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }

bool EqualAsciiNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    unsigned char x = FoldAscii(static_cast<unsigned char>(*a));
    unsigned char y = FoldAscii(static_cast<unsigned char>(*b));
    if (x != y) return false;
    if (x == 0) return true;
  }
}

// Appends `text` to the value while it holds fewer than `limit` characters.
void AppendValue(char* value, uint32_t* length, uint32_t limit, const char* text) {
  while (*text && *length < limit) value[(*length)++] = *text++;
  value[*length] = '\0';
}

const char* SkipWhite(const char* p) {
  while (*p && IsWhite(static_cast<unsigned char>(*p))) ++p;
  return p;
}

// The rest of a physical line longer than the line buffer: appended to the
// value (`value` non-null) or dropped.  Read as lines of their own, its
// pieces could pass for header fields that the writer never wrote.
void TakeRestOfLine(BufferedFile* reader, bool cut, char* value, uint32_t* length, uint32_t limit) {
  char piece[kHeaderLineMax + 1];
  piece[kHeaderLineMax] = '\0';
  while (cut) {
    if (ReadLine(reader, piece, kHeaderLineMax, &cut) == 0) break;
    if (value != nullptr) AppendValue(value, length, limit, piece);
  }
}

// Takes one or two characters of a date piece into `piece` (cleared, at
// least 3 bytes) and then requires `sep`, which is passed.  A second
// character is taken only when the next one is not `sep`.  false when the
// text ends first or the separator is missing; `p` never passes the end.
bool TakePiece(const char*& p, char sep, char* piece) {
  std::memset(piece, 0, 3);
  if (!*p) return false;
  piece[0] = *p++;
  if (*p && *p != sep) piece[1] = *p++;
  if (*p != sep) return false;
  ++p;
  return true;
}

// Takes up to `n` characters into `piece` (cleared, n + 1 bytes) without
// passing the end of the text; the number taken.
size_t TakeUpTo(const char*& p, size_t n, char* piece) {
  std::memset(piece, 0, n + 1);
  size_t i = 0;
  while (i < n && *p) piece[i++] = *p++;
  return i;
}

// Finds field `name` in `h`; on success *start and *length describe it and
// `value` (kFieldValueSize bytes) holds its value.
CMC_return_code LocateField(FileHandle h, const char* name, uint32_t* start, uint32_t* length, char* value) {
  if (h == kNoFile || !name) return CMC_E_FAILURE;
  // A name outside the table would match the first ignored line instead.
  const int wanted = HeaderFieldId(name);
  if (wanted == kFieldUnknown) return CMC_E_FAILURE;

  BufferedFile* reader = OpenBuffered(h, kBufferedCapacity);
  if (!reader) return FileSizeOf(h) == 0 ? CMC_E_FAILURE : CMC_E_INSUFFICIENT_MEMORY;

  CMC_return_code rc = CMC_E_FAILURE;
  for (;;) {
    const uint32_t at = BufferedTell(reader);
    int id = kFieldUnknown;
    if (ReadHeaderField(reader, &id, value, kFieldValueSize) != CMC_SUCCESS) break;
    if (id == wanted) {
      *start = at;
      *length = BufferedTell(reader) - at;
      rc = CMC_SUCCESS;
      break;
    }
    if (id == kFieldEnd) break;
  }
  ReleaseBuffered(reader);
  return rc;
}

}  // namespace

CMC_return_code ReadHeaderField(BufferedFile* reader, int* id, char* value, uint32_t size) {
  if (!reader || !id || !value || size == 0) return CMC_E_FAILURE;
  value[0] = '\0';
  const uint32_t limit = size >= 2 ? size - 2 : 0;
  uint32_t length = 0;

  char line[kHeaderLineMax + 1];
  line[kHeaderLineMax] = '\0';
  bool cut = false;
  if (ReadLine(reader, line, kHeaderLineMax, &cut) == 0) {
    *id = kFieldEnd;
    return CMC_SUCCESS;
  }

  char* colon = std::strchr(line, ':');
  if (!colon) {
    *id = (line[0] && EqualAsciiNoCase(line, HeaderNames[kFieldTag])) ? kFieldTag : kFieldUnknown;
    AppendValue(value, &length, limit, line);
    TakeRestOfLine(reader, cut, nullptr, &length, limit);
    return CMC_SUCCESS;
  }

  *colon = '\0';
  const char* name = line;
  while (IsDigit(static_cast<unsigned char>(*name))) ++name;
  *id = HeaderFieldId(name);
  const char* text = colon + 1;
  if (*id == kFieldUnknown || *text == '\0') {
    TakeRestOfLine(reader, cut, nullptr, &length, limit);
    return CMC_SUCCESS;
  }

  AppendValue(value, &length, limit, SkipWhite(text));
  TakeRestOfLine(reader, cut, value, &length, limit);
  // A line that begins with white space continues the field; an empty one
  // ends the header, and any other is the next field's, left unread.
  for (;;) {
    const int next = PeekBuffered(reader);
    if (next < 0 || next == '\r' || next == '\n' || !IsWhite(static_cast<unsigned char>(next))) break;
    ReadLine(reader, line, kHeaderLineMax, &cut);
    AppendValue(value, &length, limit, SkipWhite(line));
    TakeRestOfLine(reader, cut, value, &length, limit);
  }
  return CMC_SUCCESS;
}

int HeaderFieldId(const char* name) {
  if (!name || !*name) return kFieldUnknown;
  // Every header line asks: the first letter rules out most names at once.
  const unsigned char first = FoldAscii(static_cast<unsigned char>(*name));
  for (int id = kFieldTag; id < kFieldEnd; ++id) {
    if (FoldAscii(static_cast<unsigned char>(HeaderNames[id][0])) == first && EqualAsciiNoCase(name, HeaderNames[id])) {
      return id;
    }
  }
  return kFieldUnknown;
}

int MonthIndex(const char* text) {
  static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
  if (!text) return -1;
  // The names are ASCII: the platform's collation has nothing to add to
  // them, and every listed message asks.
  for (int i = 0; i < 12; ++i) {
    if (EqualAsciiNoCase(text, kMonths[i])) return i;
  }
  return -1;
}

CMC_return_code ParseDatePosted(const char* text, CMC_time* out) {
  if (!text || !out) return CMC_E_FAILURE;
  std::memset(out, 0, sizeof *out);
  const char* p = SkipWhite(text);
  char piece[8];

  const bool dayOk = TakePiece(p, '-', piece);
  out->day = static_cast<CMC_sint8>(ParseDecimal(piece));
  if (!dayOk) return CMC_E_INVALID_MESSAGE_PARAMETER;

  TakeUpTo(p, 3, piece);
  out->month = static_cast<CMC_sint8>(MonthIndex(piece));
  if (*p != '-') return CMC_E_INVALID_MESSAGE_PARAMETER;
  ++p;

  TakeUpTo(p, 4, piece);
  out->year = static_cast<CMC_sint8>(ParseDecimal(piece) - 1900);
  // The separator after the four digits.
  if (*p) ++p;

  const bool hourOk = TakePiece(p, ':', piece);
  out->hour = static_cast<CMC_sint8>(ParseDecimal(piece));
  if (!hourOk) return CMC_E_INVALID_MESSAGE_PARAMETER;
  const bool minuteOk = TakePiece(p, ':', piece);
  out->minute = static_cast<CMC_sint8>(ParseDecimal(piece));
  if (!minuteOk) return CMC_E_INVALID_MESSAGE_PARAMETER;

  std::memset(piece, 0, sizeof piece);
  if (!*p) return CMC_E_INVALID_MESSAGE_PARAMETER;
  piece[0] = *p++;
  if (*p && !IsWhite(static_cast<unsigned char>(*p))) piece[1] = *p++;
  out->second = static_cast<CMC_sint8>(ParseDecimal(piece));

  // The zone, signed HHMM.  A value cut off before its four digits is not a
  // date: a cut "-05" would read as five minutes.
  p = SkipWhite(p);
  const char* digits = (*p == '+' || *p == '-') ? p + 1 : p;
  for (int i = 0; i < 4; ++i) {
    if (!IsDigit(static_cast<unsigned char>(digits[i]))) return CMC_E_INVALID_MESSAGE_PARAMETER;
  }
  // Zones east of UTC are written with "+", which the decimal parser would
  // take as the end of the number.
  int32_t zone = (*p == '+') ? ParseDecimal(p + 1) : ParseDecimal(p);
  const bool west = zone < 0;
  if (west) zone = -zone;
  int32_t minutes = (zone / 100) * 60 + zone % 100;
  if (west) minutes = -minutes;
  out->tmzone = static_cast<CMC_sint16>(-minutes);
  out->isdst = 0;
  return CMC_SUCCESS;
}

uint32_t CountListItems(const char* text) {
  if (!text || !*text) return 0;
  enum { kNormal, kParen, kQuote, kBrace } state = kNormal;
  int depth = 0;
  uint32_t count = 1;
  for (const char* p = text; *p; ++p) {
    const char c = *p;
    if (c == '\\') {
      if (!p[1]) break;
      ++p;
      continue;
    }
    switch (state) {
      case kNormal:
        if (c == ',') {
          ++count;
        } else if (c == '"') {
          state = kQuote;
        } else if (c == '(') {
          state = kParen;
          depth = 1;
        } else if (c == '{') {
          state = kBrace;
        }
        break;
      case kQuote:
        if (c == '"') state = kNormal;
        break;
      case kParen:
        if (c == '(') {
          ++depth;
        } else if (c == ')' && --depth == 0) {
          state = kNormal;
        }
        break;
      case kBrace:
        if (c == '}') state = kNormal;
        break;
    }
  }
  return count;
}

int NameFromAddress(const char* address, char* out, size_t size) {
  if (!address || !out || size == 0) return 0;
  size_t i = 0;
  while (i + 1 < size && address[i] && address[i] != '@') {
    out[i] = address[i];
    ++i;
  }
  out[i] = '\0';
  return 1;
}

int IsPlainFileName(const char* name) {
  if (!name || !*name) return 0;
  // Only dots: "." and ".." leave the directory, and Windows reads longer
  // runs of dots as the directory itself.
  if (std::strspn(name, ".") == std::strlen(name)) return 0;
  for (const char* p = name; *p; ++p) {
    if (*p == '/' || *p == '\\' || *p == ':') return 0;
  }
  return 1;
}

CMC_return_code FindHeaderField(FileHandle h, const char* name, uint32_t* start, uint32_t* length) {
  if (!start || !length) return CMC_E_FAILURE;
  WorkBuffer value(kFieldValueSize);
  if (value.bytes == nullptr) return CMC_E_INSUFFICIENT_MEMORY;
  return LocateField(h, name, start, length, value.bytes);
}

GlobalHandle GetHeaderFieldValue(FileHandle h, const char* name) {
  WorkBuffer value(kFieldValueSize);
  if (value.bytes == nullptr) return nullptr;
  uint32_t start = 0, length = 0;
  if (LocateField(h, name, &start, &length, value.bytes) != CMC_SUCCESS) return nullptr;
  const size_t n = std::strlen(value.bytes);
  if (n == 0) return nullptr;
  GlobalHandle block = PlatGlobalAlloc(kGmemMoveable | kGmemZeroInit, n + 1);
  if (!block) return nullptr;
  char* bytes = static_cast<char*>(PlatGlobalLock(block));
  if (!bytes) {
    PlatGlobalFree(block);
    return nullptr;
  }
  std::memcpy(bytes, value.bytes, n + 1);
  PlatGlobalUnlock(block);
  return block;
}

NameList* GetHeaderFieldList(FileHandle h, const char* name, const char* delimiters) {
  if (!delimiters) return nullptr;
  GlobalHandle block = GetHeaderFieldValue(h, name);
  if (!block) return nullptr;
  NameList* list = nullptr;
  char* text = static_cast<char*>(PlatGlobalLock(block));
  if (text) {
    list = SplitToNameList(text, delimiters, kNameModeAppend);
    PlatGlobalUnlock(block);
  }
  PlatGlobalFree(block);
  return list;
}

CMC_return_code ReplaceHeaderField(FileHandle h, const char* name, const char* text) {
  if (h == kNoFile || !name || !text) return CMC_E_FAILURE;
  const uint32_t n = static_cast<uint32_t>(std::strlen(text));
  if (SeekFile(h, 0, nullptr, 0) != 0) return CMC_E_ATTACHMENT_WRITE_FAILURE;
  uint32_t start = 0, oldLength = 0;
  CMC_return_code rc = FindHeaderField(h, name, &start, &oldLength);
  if (rc != CMC_SUCCESS) return rc;

  if (n != oldLength) {
    const uint32_t size = FileSizeOf(h);
    if (size == 0xFFFFFFFFu || size < start + oldLength) return CMC_E_FAILURE;
    const uint32_t tail = size - (start + oldLength);
    if (!MoveWithin(h, start + n, start + oldLength, tail)) return CMC_E_FAILURE;
    if (!TruncateFile(h, size - oldLength + n)) return CMC_E_FAILURE;
  }
  if (SeekFile(h, static_cast<int32_t>(start), nullptr, 0) != start) return CMC_E_ATTACHMENT_WRITE_FAILURE;
  if (n > 0 && WriteFileBytes(h, text, n) != n) return CMC_E_FAILURE;
  return CMC_SUCCESS;
}

}  // namespace vk
