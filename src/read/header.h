// The message header reader: header lines of a message file turned into
// (field id, value) pairs with continuation lines joined, the "Date-posted"
// value parsed into a CMC_time, list items counted, and one header field
// found, fetched or replaced inside an open message file.
//
// Field ids are the indices of HeaderNames (store/smf_fields.h).
#ifndef VK_READ_HEADER_H
#define VK_READ_HEADER_H

#include <cstddef>
#include <cstdint>

#include "platform/file.h"
#include "platform/memory.h"
#include "store/bufread.h"
#include "store/smf_fields.h"
#include "vkmsg/cmc.h"
#include "vkmsg/vkmsg.h"

namespace vk {

// A physical header line is read at most this many characters at a time;
// the rest of a longer line belongs to it (appended to a field's value,
// dropped for any other line), so it never passes for a field of its own.
constexpr uint32_t kHeaderLineMax = 96;
// The value buffer the field look-ups use.
constexpr uint32_t kFieldValueSize = 512;

// Reads the next header field from `reader` into `*id` and `value` (`size`
// bytes; the value holds at most size - 2 characters, the rest of a longer
// value is consumed and dropped).
// - An empty line or the end of the file: id kFieldEnd, empty value.
// - A line without a colon: id kFieldTag when it is "SMF-71", else
//   kFieldUnknown; the line itself is the value.
// - "name: value": leading digits of the name are skipped; an unknown name
//   or an empty value gives that id and an empty value, and the next line is
//   not looked at.  Otherwise the value loses its leading white space and
//   every following line that begins with white space is appended to it
//   (without its leading white space, no separator inserted); the reader is
//   left at the first line that is not such a continuation.
// 0, or CMC_E_FAILURE (8) when an argument is missing (nothing is read).
CMC_return_code ReadHeaderField(BufferedFile* reader, int* id, char* value, uint32_t size);

// The id of a field name (ASCII case-insensitive): 1..13, 0 for an unknown,
// null or empty name.
int HeaderFieldId(const char* name);

// "jan".."dec" (any case) give 0..11; anything else -1.
int MonthIndex(const char* text);

// Parses a "Date-posted" value ("dd-Mon-yyyy hh:mm:ss ±HHMM", day and hour
// possibly blank-padded) into `*out`, which is cleared first: day, month
// (-1 for an unknown name), year since 1900, hour, minute, second, and
// tmzone, the zone's offset in minutes with the sign turned round (a zone
// written -0500 gives 300, +0100 gives -60); isdst 0.  0;
// CMC_E_FAILURE when an argument is null; CMC_E_INVALID_MESSAGE_PARAMETER
// (14) when a "-" or ":" is missing or the text ends before the zone's four
// digits: the fields parsed so far stay in `*out`.  Never reads past the text's end.
CMC_return_code ParseDatePosted(const char* text, CMC_time* out);

// The number of comma-separated items of a list value: 0 for null or empty,
// else 1 plus the commas outside double quotes, parentheses (nested) and
// braces; a backslash makes the next character ordinary.
uint32_t CountListItems(const char* text);

// Copies the part of `address` before its first "@" (all of it without one)
// into `out`, at most size - 1 characters, terminated.  1; 0 when a pointer
// is null or size is 0.
int NameFromAddress(const char* address, char* out, size_t size);

// 1 when `name` is a plain file name that stays inside the directory it is
// joined to: not null, not empty, not made of dots only ("." or ".."), and
// without "/", "\" or ":" (a trailing period, as in "KWZ1a2b.", is fine).  Names read from a message's "Attachment"
// field must pass this before they are joined to a directory.
int IsPlainFileName(const char* name);

// Finds the header field `name` in the open file `h`: *start receives the
// offset of its line, *length the bytes of that line and its continuation
// lines with their line ends.  0; CMC_E_FAILURE when the field is absent,
// the name is null or not a known field name, h is kNoFile or the file is
// empty; CMC_E_INSUFFICIENT_MEMORY when no reader or work buffer can be had.
// The handle stays open; its position is undefined afterwards.
CMC_return_code FindHeaderField(FileHandle h, const char* name, uint32_t* start, uint32_t* length);

// The value of header field `name` (continuation lines joined, at most 510
// characters) in a new, unlocked movable global-memory block of its length
// plus 1, which the caller frees; null when the field is absent or empty or
// memory fails.
GlobalHandle GetHeaderFieldValue(FileHandle h, const char* name);

// The value of header field `name` split at any of the `delimiters`
// characters into a name list (items in text order, empty items dropped,
// duplicates kept); null when the field is absent or empty or memory fails.
// The caller frees the list (FreeNameList).
NameList* GetHeaderFieldList(FileHandle h, const char* name, const char* delimiters);

// Replaces header field `name` (its line and continuation lines) in the open
// file `h` by `text` exactly (the caller gives the whole replacement: name,
// ": ", value, CR LF; an empty text removes the field), moving the rest of
// the file so it follows directly and cutting or extending the file to fit.
// 0; CMC_E_FAILURE when h is kNoFile, name or text is null, the field is
// absent, or a move, cut or write fails; CMC_E_ATTACHMENT_WRITE_FAILURE (5)
// when the file cannot be positioned at the field; CMC_E_INSUFFICIENT_MEMORY
// as for FindHeaderField.
CMC_return_code ReplaceHeaderField(FileHandle h, const char* name, const char* text);

}  // namespace vk

#endif
