#include "send/smf_writer.h"

#include <cstdio>
#include <cstring>

#include "cmc/session.h"
#include "platform/memory.h"
#include "store/config.h"
#include "store/fileprim.h"

namespace vk {

const char kEntrySeparator[] = ", \r\n ";

namespace {

constexpr size_t kRecipientNameMax = 255;
constexpr size_t kParcelNameSize = 32;

bool PlatformClock(LocalTime* now, long* zoneWestSeconds) {
  if (!PlatLocalTime(now)) return false;
  *zoneWestSeconds = PlatStandardZoneOffset();
  return true;
}

SmfClockFn g_clock = PlatformClock;

bool IsFoldBreak(unsigned char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == ',' || c == ';'; }

CMC_return_code WriteAll(FileHandle h, const void* bytes, size_t n) {
  if (n == 0) return CMC_SUCCESS;
  return WriteFileBytes(h, bytes, static_cast<uint32_t>(n)) == n ? CMC_SUCCESS : CMC_E_FAILURE;
}

CMC_return_code DoWriteFieldName(FileHandle h, const char* name) {
  if (!name) return CMC_E_FAILURE;
  if (WriteAll(h, name, std::strlen(name)) != CMC_SUCCESS) return CMC_E_FAILURE;
  return WriteAll(h, ": ", 2);
}

CMC_return_code DoWriteFieldValue(FileHandle h, const char* text) {
  if (!text) return CMC_E_FAILURE;
  const size_t length = std::strlen(text);
  size_t offset = 0;
  while (offset < length) {
    size_t piece = length - offset;
    if (piece >= kFoldWidth) {
      piece = kFoldWidth;
      for (size_t i = kFoldWidth; i >= 2; --i) {
        if (IsFoldBreak(static_cast<unsigned char>(text[offset + i - 1]))) {
          piece = i;
          break;
        }
      }
    }
    if (WriteAll(h, text + offset, piece) != CMC_SUCCESS) return CMC_E_FAILURE;
    offset += piece;
    // A piece that began its line without a blank would be read as a field
    // of its own: a long title could then forge any header line.  With the
    // blank the reader joins it to the value it belongs to.
    if (offset < length && SmfHandlers.WriteLineEnd(h, nullptr) != CMC_SUCCESS) return CMC_E_FAILURE;
    if (offset < length && WriteAll(h, " ", 1) != CMC_SUCCESS) return CMC_E_FAILURE;
  }
  return CMC_SUCCESS;
}

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

// A value the caller chose (a subject, name, address, title or type) with
// every run of CR and LF written as one blank: a line break of its own would
// let the caller write header lines, a forged "From" or an "Attachment"
// naming another message's parcel.
CMC_return_code WriteCallerValue(FileHandle h, const char* text) {
  if (!text || std::strpbrk(text, "\r\n") == nullptr) return SmfHandlers.WriteFieldValue(h, text);
  const size_t length = std::strlen(text);
  WorkBuffer flat(length + 1);
  if (flat.bytes == nullptr) return CMC_E_FAILURE;
  size_t n = 0;
  for (size_t i = 0; i < length; ++i) {
    if (!IsLineBreak(text[i])) {
      flat.bytes[n++] = text[i];
    } else if (i == 0 || !IsLineBreak(text[i - 1])) {
      flat.bytes[n++] = ' ';
    }
  }
  flat.bytes[n] = '\0';
  return SmfHandlers.WriteFieldValue(h, flat.bytes);
}

CMC_return_code DoWriteLineEnd(FileHandle h, const char* text) {
  if (text && *text && WriteAll(h, text, std::strlen(text)) != CMC_SUCCESS) return CMC_E_FAILURE;
  return WriteAll(h, "\r\n", 2);
}

// Walks a CMC record array up to the element flagged last.
template <typename T, typename Fn>
CMC_return_code ForEachElement(const T* array, CMC_flags T::*flags, Fn fn) {
  if (!array) return CMC_SUCCESS;
  for (const T* p = array;; ++p) {
    CMC_return_code rc = fn(*p);
    if (rc != CMC_SUCCESS) return rc;
    if (IsLastElement(p->*flags)) return CMC_SUCCESS;
  }
}

CMC_return_code WriteRecipientEntry(FileHandle h, const CMC_recipient& r) {
  if (r.address) return WriteCallerValue(h, r.address);
  char name[kRecipientNameMax + 1] = {0};
  if (r.name) CopyBounded(name, r.name, sizeof name);
  return WriteCallerValue(h, name);
}

// One address field: every recipient of `role` in array order, entries kept
// apart by the separator.  With `always` the field is written even when no
// recipient has the role.
CMC_return_code WriteAddressField(FileHandle h, const CMC_message* m, const char* field, CMC_enum role, bool always) {
  if (!always) {
    bool any = false;
    ForEachElement(m->recipients, &CMC_recipient::recip_flags, [&](const CMC_recipient& r) {
      if (r.role == role) any = true;
      return CMC_SUCCESS;
    });
    if (!any) return CMC_SUCCESS;
  }
  if (SmfHandlers.WriteFieldName(h, field) != CMC_SUCCESS) return CMC_E_FAILURE;
  bool first = true;
  CMC_return_code rc =
      ForEachElement(m->recipients, &CMC_recipient::recip_flags, [&](const CMC_recipient& r) -> CMC_return_code {
        if (r.role != role) return CMC_SUCCESS;
        if (!first && SmfHandlers.WriteFieldValue(h, kEntrySeparator) != CMC_SUCCESS) return CMC_E_FAILURE;
        first = false;
        return WriteRecipientEntry(h, r) == CMC_SUCCESS ? CMC_SUCCESS : CMC_E_FAILURE;
      });
  if (rc != CMC_SUCCESS) return CMC_E_FAILURE;
  return SmfHandlers.WriteLineEnd(h, nullptr) == CMC_SUCCESS ? CMC_SUCCESS : CMC_E_FAILURE;
}

CMC_return_code HWriteMessage(const SmfOutput* out, const CMC_message* m) {
  if (!out || out->file == kNoFile || !m) return CMC_E_FAILURE;
  CMC_return_code rc = SmfHandlers.WriteTagLine(out, m);
  if (rc == CMC_SUCCESS) rc = SmfHandlers.WriteHeader(out, m);
  if (rc == CMC_SUCCESS) rc = SmfHandlers.WriteBody(out, m);
  if (rc == CMC_SUCCESS) rc = SmfHandlers.WriteTrailer(out, m);
  return rc;
}

CMC_return_code HWriteTagLine(const SmfOutput* out, const CMC_message*) {
  if (SmfHandlers.WriteFieldValue(out->file, HeaderNames[kFieldTag]) != CMC_SUCCESS) return CMC_E_FAILURE;
  return SmfHandlers.WriteLineEnd(out->file, nullptr);
}

CMC_return_code HWriteHeader(const SmfOutput* out, const CMC_message* m) {
  CMC_return_code rc = SmfHandlers.WriteAddressFields(out, m);
  if (rc == CMC_SUCCESS) rc = SmfHandlers.WriteAttachmentFields(out, m);
  if (rc == CMC_SUCCESS) rc = SmfHandlers.WriteDescriptionFields(out, m);
  if (rc == CMC_SUCCESS) rc = SmfHandlers.WriteLineEnd(out->file, nullptr);
  return rc;
}

CMC_return_code HWriteAttachmentFields(const SmfOutput* out, const CMC_message* m) {
  if (!m->attachments) return CMC_SUCCESS;
  const FileHandle h = out->file;
  if (SmfHandlers.WriteFieldName(h, HeaderNames[kFieldAttachment]) != CMC_SUCCESS) return CMC_E_FAILURE;
  bool first = true;
  CMC_return_code rc =
      ForEachElement(m->attachments, &CMC_attachment::attach_flags, [&](const CMC_attachment& a) -> CMC_return_code {
        char parcel[kParcelNameSize] = {0};
        CMC_return_code copied = out->copy_parcel
                                     ? out->copy_parcel(out->copy_context, a.attach_filename, parcel, sizeof parcel)
                                     : CopyToParcel(a.attach_filename, parcel, sizeof parcel);
        if (copied != CMC_SUCCESS) return copied;
        if (!first && SmfHandlers.WriteFieldValue(h, kEntrySeparator) != CMC_SUCCESS) return CMC_E_FAILURE;
        first = false;
        return SmfHandlers.WriteFieldValue(h, parcel) == CMC_SUCCESS ? CMC_SUCCESS : CMC_E_FAILURE;
      });
  if (rc != CMC_SUCCESS) return rc;
  if (SmfHandlers.WriteLineEnd(h, nullptr) != CMC_SUCCESS) return CMC_E_FAILURE;

  if (SmfHandlers.WriteFieldName(h, HeaderNames[kFieldAttachmentName]) != CMC_SUCCESS) return CMC_E_FAILURE;
  first = true;
  rc = ForEachElement(m->attachments, &CMC_attachment::attach_flags, [&](const CMC_attachment& a) -> CMC_return_code {
    if (!first && SmfHandlers.WriteFieldValue(h, kEntrySeparator) != CMC_SUCCESS) return CMC_E_FAILURE;
    first = false;
    // A caller that gives no title still wants the
    // attachment to arrive under a recognisable name.
    const char* title = a.attach_title;
    if (!title) title = a.attach_filename ? FileNamePart(a.attach_filename) : "";
    return WriteCallerValue(h, title) == CMC_SUCCESS ? CMC_SUCCESS : CMC_E_FAILURE;
  });
  if (rc != CMC_SUCCESS) return rc;
  return SmfHandlers.WriteLineEnd(h, nullptr) == CMC_SUCCESS ? CMC_SUCCESS : CMC_E_FAILURE;
}

CMC_return_code HWriteAddressFields(const SmfOutput* out, const CMC_message* m) {
  CMC_return_code rc = SmfHandlers.WriteFrom(out, m);
  if (rc == CMC_SUCCESS) rc = SmfHandlers.WriteTo(out, m);
  if (rc == CMC_SUCCESS) rc = SmfHandlers.WriteCopiesTo(out, m);
  if (rc == CMC_SUCCESS) rc = SmfHandlers.WriteBcc(out, m);
  return rc;
}

CMC_return_code HWriteTo(const SmfOutput* out, const CMC_message* m) {
  return WriteAddressField(out->file, m, HeaderNames[kFieldTo], CMC_ROLE_TO, true);
}

CMC_return_code HWriteFrom(const SmfOutput* out, const CMC_message*) {
  CMC_recipient originator{};
  originator.name = const_cast<char*>(SessionUserName());
  originator.name_type = CMC_TYPE_INDIVIDUAL;
  originator.role = CMC_ROLE_ORIGINATOR;
  originator.recip_flags = CMC_RECIP_LAST_ELEMENT;
  CMC_message from{};
  from.recipients = &originator;
  return WriteAddressField(out->file, &from, HeaderNames[kFieldFrom], CMC_ROLE_ORIGINATOR, true);
}

CMC_return_code HWriteCopiesTo(const SmfOutput* out, const CMC_message* m) {
  return WriteAddressField(out->file, m, HeaderNames[kFieldCopiesTo], CMC_ROLE_CC, false);
}

CMC_return_code HWriteBcc(const SmfOutput* out, const CMC_message* m) {
  return WriteAddressField(out->file, m, HeaderNames[kFieldBcc], CMC_ROLE_BCC, false);
}

CMC_return_code WriteSimpleField(FileHandle h, int id, const char* value) {
  if (SmfHandlers.WriteFieldName(h, HeaderNames[id]) != CMC_SUCCESS) return CMC_E_FAILURE;
  if (WriteCallerValue(h, value) != CMC_SUCCESS) return CMC_E_FAILURE;
  return SmfHandlers.WriteLineEnd(h, nullptr);
}

CMC_return_code HWriteDescriptionFields(const SmfOutput* out, const CMC_message* m) {
  const FileHandle h = out->file;
  if (m->subject) {
    char subject[kSubjectMax + 1];
    CopyBounded(subject, m->subject, sizeof subject);
    if (WriteSimpleField(h, kFieldSubject, subject) != CMC_SUCCESS) return CMC_E_FAILURE;
  }

  const CMC_extension* importance = FindExtension(m->message_extensions, X_IMPORTANCE);
  if (importance) {
    static const char* const kImportance[] = {"Normal\r\n", "High\r\n", "Low\r\n"};
    if (SmfHandlers.WriteFieldName(h, HeaderNames[kFieldImportance]) != CMC_SUCCESS) return CMC_E_FAILURE;
    if (importance->item_data > 2) {
      SmfHandlers.WriteLineEnd(h, nullptr);
      return CMC_E_INVALID_FLAG;
    }
    if (SmfHandlers.WriteFieldValue(h, kImportance[importance->item_data]) != CMC_SUCCESS) return CMC_E_FAILURE;
  }

  if (m->message_type && WriteSimpleField(h, kFieldMessageType, m->message_type) != CMC_SUCCESS) return CMC_E_FAILURE;

  LocalTime now{};
  long zone = 0;
  char date[kDatePostedLength + 1];
  const char* value = nullptr;
  if (g_clock(&now, &zone) && FormatDatePosted(now, zone, date, sizeof date)) value = date;
  return WriteSimpleField(h, kFieldDatePosted, value) == CMC_SUCCESS ? CMC_SUCCESS : CMC_E_FAILURE;
}

CMC_return_code HWriteBody(const SmfOutput* out, const CMC_message* m) {
  if (!m->text_note) return CMC_SUCCESS;
  if (WriteAll(out->file, m->text_note, std::strlen(m->text_note)) != CMC_SUCCESS) return CMC_E_FAILURE;
  return WriteAll(out->file, "\r\n", 2);
}

CMC_return_code HWriteTrailer(const SmfOutput*, const CMC_message*) { return CMC_SUCCESS; }

constexpr SmfHandlerTable kDefaultHandlers = {
    HWriteMessage,       HWriteTagLine,
    HWriteHeader,        HWriteAttachmentFields,
    HWriteAddressFields, HWriteTo,
    HWriteFrom,          HWriteCopiesTo,
    HWriteBcc,           HWriteDescriptionFields,
    HWriteBody,          HWriteTrailer,
    DoWriteFieldName,    DoWriteFieldValue,
    DoWriteLineEnd,      HeaderNames,
};

}  // namespace

SmfHandlerTable SmfHandlers = kDefaultHandlers;

void InitSmfHandlers() { SmfHandlers = kDefaultHandlers; }

CMC_return_code WriteMessage(FileHandle h, const CMC_message* message, ParcelCopyFn copy, void* context) {
  const SmfOutput out = {h, copy, context};
  return SmfHandlers.WriteMessage(&out, message);
}

bool FormatDatePosted(const LocalTime& t, long zoneWestSeconds, char* out, size_t size) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  if (!out || size < kDatePostedLength + 1) return false;
  const char* month = (t.month >= 0 && t.month < 12) ? kMonths[t.month] : "ERR";
  // Every piece is kept to its width so the value is always 26 characters,
  // even for a broken-down time out of range.
  auto clamp = [](long v, long lo, long hi) { return v < lo ? lo : (v > hi ? hi : v); };
  const long day = clamp(t.day, 0, 99);
  const long year = clamp(static_cast<long>(t.year) + 1900, 0, 9999);
  const long hour = clamp(t.hour, 0, 99);
  const long minute = clamp(t.minute, 0, 99);
  const long second = clamp(t.second, 0, 99);
  const char sign = zoneWestSeconds < 0 ? '+' : '-';
  const long zoneHours = clamp((zoneWestSeconds < 0 ? -zoneWestSeconds : zoneWestSeconds) / 3600, 0, 99);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%2ld-%s-%04ld %2ld:%02ld:%02ld %c%02ld00", day, month, year, hour, minute, second,
                sign, zoneHours);
  CopyBounded(out, buf, kDatePostedLength + 1);
  return true;
}

SmfClockFn SetSmfClock(SmfClockFn clock) {
  SmfClockFn before = g_clock;
  g_clock = clock ? clock : PlatformClock;
  return before;
}

}  // namespace vk
