// Parcels: each attachment travels as a file of its own.  While a message is
// written its attachment files are copied into the mail directory's PARCEL
// directory (CopyToParcel, declared with the writer in send/smf_writer.h);
// delivery copies every parcel into the recipient's IPARCEL directory under
// a new name and rewrites the recipient's "Attachment" field to the new
// names; the PARCEL files go once every recipient has its copy, the IPARCEL
// files when the recipient deletes the message.
//
// Parcel names are "KWZ" + four lowercase hexadecimal digits.  The staged
// message names them with the empty extension's period ("KWZ1a2b."), a
// delivered copy without it ("KWZ9c0d"); both forms open the same file.
// Every name read from a message is checked with IsPlainFileName before it
// is joined to a directory.
#ifndef VK_SEND_PARCEL_H
#define VK_SEND_PARCEL_H

#include <cstddef>

#include "platform/file.h"
#include "platform/memory.h"
#include "send/smf_writer.h"
#include "vkmsg/cmc.h"
#include "vkmsg/vkmsg.h"

namespace vk {

// The delimiters of an "Attachment" value: comma, blank, CR, LF.
extern const char kParcelDelimiters[];

// The parcel names of the open message file `h`: its "Attachment" value
// (continuation lines joined) split at kParcelDelimiters, in field order,
// duplicates kept.  Null when the field is absent or empty, or memory fails.
// The caller frees the list (FreeNameList).
NameList* ParcelNames(FileHandle h);

// Copies each parcel of `names` from <mail>PARCEL into the directory
// `parcelDir` (a full path with its trailing separator) under a new unique
// name, in list order, and appends each new name without directory and
// without period to *newNames (which may be replaced by a grown list).
// A name is appended as soon as its file exists, so on failure *newNames
// lists exactly the files this call created (each closed again), for the
// caller to remove.  Every copy is flushed before it is closed.  0;
// CMC_E_ATTACHMENT_OPEN_FAILURE (3) when a parcel is not a plain name or
// cannot be opened; CMC_E_ATTACHMENT_WRITE_FAILURE (5) when a copy cannot
// be created, written, flushed or closed; CMC_E_INSUFFICIENT_MEMORY (9)
// when *newNames cannot take a name; CMC_E_FAILURE for a null argument or a
// path that does not fit.  The first failure ends the loop.
CMC_return_code CopyParcels(const NameList* names, NameList** newNames, const char* parcelDir);

// Deletes <mail><directory><name> for each name of `names` (`directory`
// relative to the mail directory, with its trailing separator, such as
// "PARCEL/").  Never stops early; a name that is not a plain file name is
// left alone.  0, also for a null or empty list; CMC_E_ATTACHMENT_NOT_FOUND
// (2) when any name could not be deleted (or was refused).  A name whose
// file is already gone counts as not deleted.
CMC_return_code DeleteParcels(const NameList* names, const char* directory);

// The field line of a delivered copy: "Attachment: " followed by the names
// joined by ", " and CR LF, as one line (nine names of seven characters
// fit).  Names that would take the line past kHeaderLineMax characters
// continue on further lines as the writer separates entries (", " CR LF
// " "), so that a reader still finds every name.  A new unlocked movable block
// holding the zero-terminated text, which the caller frees; null for a null
// or empty list or when memory fails.
GlobalHandle AttachmentLine(const NameList* names);

// Deletes a file, trying once more when the first attempt fails for any
// reason but a missing file (a virus scanner or indexer may hold a file
// that was just closed).  1 deleted, 0 not.
int DeleteFileRetry(const char* path);

}  // namespace vk

#endif
