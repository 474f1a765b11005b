// The mailbox listing behind cmc_list, and the message reference that names a
// message to cmc_read and cmc_act_on afterwards.
//
// The mailbox is the logged-on user's message directory
// (g_mail_config.user_dir); every message is one file there.  A message
// reference is a counted string holding the file's full path: the mailbox
// directory followed by the file name the listing found.  A message that has
// been read carries the extension ".red"; a reference made before the rename
// still opens it (OpenMessageFile tries the ".red" name too).
#ifndef VK_READ_LIST_H
#define VK_READ_LIST_H

#include <cstddef>
#include <cstdint>

#include "cmc/pool.h"
#include "store/bufread.h"
#include "vkmsg/cmc.h"
#include "vkmsg/vkmsg.h"

namespace vk {

// The longest reference text handed out or accepted (characters, without
// the terminator).
constexpr size_t kReferenceMax = 132;
// The largest maximum count a listing accepts; 0 and anything larger mean
// this.
constexpr uint32_t kListMaximum = 10324440;

// 1 when a directory entry's name is a message name: a non-empty base name
// not beginning with "." and the extension empty, "." or ".red" (any case),
// at most 128 characters in all.  Files under any other name (a copy still
// being delivered under a temporary extension, for one) are not messages.
int IsMessageFileName(const char* name);

// A new reference in `pool` for the message file `file_name` of the mailbox:
// length, text (mailbox directory + name) and terminator.  Null when the
// name is null or empty, the path would be longer than kReferenceMax (a cut
// path would name another file), or the pool is full.
CMC_message_reference* MakeMessageReference(const char* file_name, ResultPool* pool);

// Checks that `reference` names a message file directly inside the logged-on
// user's mailbox and writes the path to open into `out` (`size` bytes; at
// least kReferenceMax + 5): the mailbox directory followed by the name of
// the plain file spelled exactly as the reference has it, or of its read
// twin (".red" appended).  A name that differs only in case is another
// message where the file system tells them apart, and is refused.
// The reference's directory may be spelled differently (case, separators,
// "."), but it must come to the mailbox directory; "..", other directories,
// relative paths and names that are not message names are refused.  Only
// the first `length` characters of the text count.  1, or 0 (out empty).
int MessagePathFromReference(const CMC_message_reference* reference, char* out, size_t size);

// A reader over the message file `reference` names, made of what a listing
// of this process read of it, when the listing read it whole and the file
// under that name is still the one it read; its path (mailbox directory
// and the name as the reference gives it) in `path` (kPathMax bytes).  Null
// otherwise: the caller reads the file.  Each listed message is served
// once.
BufferedFile* TakeListedMessage(const CMC_message_reference* reference, char* path);
// Drops what a listing kept of the message file `path` (a message deleted).
void ForgetListedMessage(const char* path);
// Drops the names of the last scan and every message kept for a read: at
// logoff nothing of the user's mailbox stays in memory.
void ForgetListing();
// Fills the summary whose message_reference is set from the message file's
// header: CMC_SUM_READ for a ".red" name, subject, message type, time sent
// (zero without "Date-posted"; an ill-formed date keeps what could be
// parsed) and the originator (null without "From").  0;
// CMC_E_INVALID_MESSAGE_REFERENCE when the file is gone (it may be going away
// at this very moment), may not be read by this user, or is empty: a
// listing leaves it out; CMC_E_FAILURE when it could not be opened or read
// for a reason that may pass (a sharing refusal, a failing device): a
// listing fails rather than hide it; CMC_E_INSUFFICIENT_MEMORY when the pool
// is full or no work buffer can be had.
CMC_return_code ReadSummary(CMC_message_summary* summary, ResultPool* pool);

// The message names of the mailbox in the order of the directory search,
// beginning with the entry named `start` (a file name without directory;
// null or empty: the first entry).  Only plain files count: directories,
// pipes, devices and links are never messages.  The entry spelled exactly
// as `start` is taken before one that differs in case; when no entry has
// that name, the entry of its read twin (the name + ".red") is the start
// instead, so a seed taken before a message was read still works.  *total
// receives the number of message names from the start on; the list holds
// the first `keep` of them (null when keep is 0).  Without a start the
// mailbox is scanned afresh; a start that is the last name handed out
// before (the next page's seed) continues from the names that scan found,
// without scanning again.  1 done (also for a missing mailbox or an unknown
// start: *total 0), 0 when memory failed, -1 when the mailbox could not be
// tested or read whole (never taken for an empty or a shorter one).
int ListMessageFiles(const char* start, uint32_t keep, NameList** names, uint32_t* total);

}  // namespace vk

#endif
