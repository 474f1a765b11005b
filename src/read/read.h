// Reading one message of the mailbox into a CMC_message, and the read mark.
//
// A message is marked read by renaming its file to its own name followed by
// ".red"; nothing else records it.  The rename never replaces a file: when
// the ".red" name is taken the message simply stays unread.
//
// ReadMessage and MarkRead (the work behind cmc_read) are declared in
// cmc/handlers.h:
//   ReadMessage(reference, &message): 0 with *message the record in a new
//     result block; CMC_E_INVALID_MESSAGE_REFERENCE (15) for a reference that
//     is not a message file of the logged-on user's mailbox, names no file
//     under either name, or an empty file; CMC_E_INSUFFICIENT_MEMORY (9) when
//     the message does not fit one result block or no work buffer can be
//     had.  On failure *message is null and no block is left behind.
//   MarkRead(reference): renames the message file to carry ".red".  0 also
//     when it already does, has another extension, or the ".red" name is
//     taken (the file stays as it was); CMC_E_FAILURE (8) for a reference
//     text longer than kReferenceMax or a rename that failed; 15 for a
//     reference outside the mailbox.
#ifndef VK_READ_READ_H
#define VK_READ_READ_H

#include "cmc/handlers.h"
#include "cmc/pool.h"
#include "store/bufread.h"
#include "vkmsg/cmc.h"

namespace vk {

// The longest body handed out; the rest of a longer one is not returned.
constexpr uint32_t kBodyMax = 32764;
// The attachment type every attachment record carries.
extern const char kAttachmentType[];

// Fills `message`, whose message_reference is set, from its file, every
// part allocated from `pool`: subject, message type, time sent, recipients
// (originator, To and Cc, in header order), attachments (paths into the
// user's IPARCEL directory; an item that is not a plain file name is not
// handed out), the body, and CMC_MSG_READ for a file that carries ".red".
// 0; 15 as ReadMessage; 9 when the pool is full or memory fails; 8 for a
// missing argument.
CMC_return_code ReadMessageFile(CMC_message* message, ResultPool* pool);

// The body of the message open in `reader`, which stands just past the
// header (its fields read up to kFieldEnd): everything from there on, at
// most kBodyMax bytes, as a string in `pool`; null when it is empty.
// *code (may be null) receives 0, 9 when the pool is full, or 8 when the
// file cannot be read to the body's end.
char* ReadBody(BufferedFile* reader, ResultPool* pool, CMC_return_code* code);

}  // namespace vk

#endif
