// The message file writer.  A message file is 8-bit text, every line ending
// in CR LF:
//
//   SMF-71
//   From: <user>
//   To: <entry>, CR LF " "<entry> ...     always, possibly empty
//   Copies-To: ...                          when a recipient has role Cc
//   BCC: ...                                when a recipient has role Bcc
//   Attachment: <parcel>, CR LF " "...     when there is an attachment array
//   Attachment-name: <title>, ...           same
//   Subject: <first 64 characters>          when there is a subject
//   Importance: High|Normal|Low             when X_IMPORTANCE is given
//   X-XAPIA_CMC_MESSAGE_TYPE: <type>        when there is a message type
//   Date-posted: <26 characters>            always
//   (empty line)
//   <text note> CR LF                       when there is a text note
//
// A line break in a value the caller chose (subject, recipient name or
// address, attachment title, message type) is written as one blank: no
// caller can start a header line of its own.
//
// Every file is written through the process-wide handler table SmfHandlers;
// each handler returns a CMC code (0 success) and writing stops at the first
// failure, leaving what was written in the file.
#ifndef VK_SEND_SMF_WRITER_H
#define VK_SEND_SMF_WRITER_H

#include <cstddef>

#include "platform/clock.h"
#include "platform/file.h"
#include "store/smf_fields.h"
#include "vkmsg/cmc.h"

namespace vk {

// A long value is written in pieces of at most this many characters.
constexpr size_t kFoldWidth = 74;
// A subject is cut to this many characters.
constexpr size_t kSubjectMax = 64;
// The "Date-posted" value's length (without terminator).
constexpr size_t kDatePostedLength = 26;
// Between two entries of a list field: comma, space, CR, LF, space.
extern const char kEntrySeparator[];

// How an attachment becomes a parcel: as CopyToParcel, with the `context`
// the writer was given handed through.
using ParcelCopyFn = CMC_return_code (*)(void* context, const char* sourcePath, char* nameOut, size_t nameSize);

// What one write goes to: the open file, and the parcel copier (null:
// CopyToParcel) with its context.
struct SmfOutput {
  FileHandle file;
  ParcelCopyFn copy_parcel;
  void* copy_context;
};

using SmfMessageHandler = CMC_return_code (*)(const SmfOutput* out, const CMC_message* message);
using SmfTextHandler = CMC_return_code (*)(FileHandle h, const char* text);

// The handler table, in slot order.  Slots call each other through the
// table, never directly.
struct SmfHandlerTable {
  // Fails with CMC_E_FAILURE for no output, kNoFile or a null message; else WriteTagLine,
  // WriteHeader, WriteBody, WriteTrailer, stopping at the first failure.
  SmfMessageHandler WriteMessage;
  // "SMF-71" CR LF.
  SmfMessageHandler WriteTagLine;
  // WriteAddressFields, WriteAttachmentFields, WriteDescriptionFields, then
  // the empty line.
  SmfMessageHandler WriteHeader;
  // "Attachment" (each attachment file is copied into a parcel on the way,
  // by the output's copier)
  // and "Attachment-name"; nothing without an attachment array.  A copy
  // failure ends the write with the copy's code.  An attachment without a
  // title is named by the file-name part of its path.
  SmfMessageHandler WriteAttachmentFields;
  // WriteFrom, WriteTo, WriteCopiesTo, WriteBcc.
  SmfMessageHandler WriteAddressFields;
  SmfMessageHandler WriteTo;        // always written, possibly with an empty value
  SmfMessageHandler WriteFrom;      // the logged-on user's name
  SmfMessageHandler WriteCopiesTo;  // only with a recipient of role Cc
  SmfMessageHandler WriteBcc;       // only with a recipient of role Bcc
  // "Subject", "Importance", "X-XAPIA_CMC_MESSAGE_TYPE", "Date-posted".  An
  // X_IMPORTANCE value other than 0, 1, 2 fails with CMC_E_INVALID_FLAG after
  // "Importance: " CR LF; no local time fails with CMC_E_FAILURE.
  SmfMessageHandler WriteDescriptionFields;
  // The text note's bytes unchanged, then CR LF; nothing for a null note.
  SmfMessageHandler WriteBody;
  // Nothing; 0.
  SmfMessageHandler WriteTrailer;
  // The name (null fails with CMC_E_FAILURE), then ": ".
  SmfTextHandler WriteFieldName;
  // The text, folded into pieces of at most 74 characters with CR LF and
  // one blank between them (so every piece continues the field): a piece of
  // a run of 74 or more ends
  // after the last white-space character (space or 0x09..0x0D), comma or
  // semicolon at its 2nd to 74th position, else holds all 74.  Null fails
  // with CMC_E_FAILURE; empty writes nothing.
  SmfTextHandler WriteFieldValue;
  // The text if not null and not empty, then CR LF.
  SmfTextHandler WriteLineEnd;
  // Not a handler: the field id table.
  const char* const* HeaderNames;
};

// The process-wide table.  It is filled at compile time, so it is usable
// before (and without) InitSmfHandlers.
extern SmfHandlerTable SmfHandlers;

// Fills SmfHandlers with the writer's handlers.  Idempotent; the module entry
// calls it once at load.
void InitSmfHandlers();

// The only entry the send uses: writes the whole message to `h`, an empty
// file open for writing (SmfHandlers.WriteMessage), copying each attachment
// into a parcel with `copy` (null: CopyToParcel), which gets `context`.  0,
// or the code of the first failing field (the part written so far stays in
// the file).
CMC_return_code WriteMessage(FileHandle h, const CMC_message* message, ParcelCopyFn copy = nullptr,
                             void* context = nullptr);

// The 26 characters of a "Date-posted" value for the local broken-down time
// `t` in a zone `zoneWestSeconds` west of UTC (negative east, standard time):
//   day (blank-padded) "-" month name "-" year " " hour (blank-padded) ":"
//   minute ":" second " " sign zone-hours "00"
// where the sign is "-" for zones west of or at UTC and "+" east of it, and
// the zone hours are the whole hours of the offset, two digits.  A month
// outside 0..11 is written "ERR".  out must hold 27 bytes; false (nothing
// written) when it is null or smaller.
bool FormatDatePosted(const LocalTime& t, long zoneWestSeconds, char* out, size_t size);

// Where the writer takes the moment of writing from: true with the local
// broken-down time and the standard zone offset in seconds west of UTC, or
// false when no time can be had.  The default asks the platform
// (PlatLocalTime, PlatStandardZoneOffset).
using SmfClockFn = bool (*)(LocalTime* now, long* zoneWestSeconds);
// Installs a clock (null restores the platform's); returns the one before.
SmfClockFn SetSmfClock(SmfClockFn clock);

// Copies the attachment file `sourcePath` into a new parcel file in the
// mail directory's PARCEL directory and delivers the parcel's name without
// directory ("KWZ" + four hex digits + ".") in nameOut (nameSize bytes,
// at least 13).  A CMC code: 0; CMC_E_ATTACHMENT_OPEN_FAILURE when the source
// cannot be opened; CMC_E_ATTACHMENT_READ_FAILURE, CMC_E_DISK_FULL,
// CMC_E_INSUFFICIENT_MEMORY or CMC_E_FAILURE when the copy fails.  Provided
// by the parcel module.
CMC_return_code CopyToParcel(const char* sourcePath, char* nameOut, size_t nameSize);

}  // namespace vk

#endif
