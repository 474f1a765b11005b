// cmc_send_documents: recipients, file paths and file titles given as
// delimited strings are turned into a CMC_message of the library's own and
// sent like any other, with a session of its own when none is open.
//
// A delimited string is cut at every character of the delimiter string;
// empty pieces are dropped and the pieces keep their order.  Each recipient
// piece becomes a To recipient with a name and no address (delivery looks
// it up); each path piece an attachment owned by the caller, titled by the
// file_names piece at the same position when both strings have as many
// pieces, else untitled (it then travels under the file-name part of its
// path).  With CMC_FIRST_ATTACH_AS_TEXT_NOTE the first path's contents
// become the text note instead of an attachment (its title is dropped too).
#ifndef VK_SEND_DOCUMENTS_H
#define VK_SEND_DOCUMENTS_H

#include <cstdint>

#include "store/namelist.h"
#include "cmc/pool.h"
#include "platform/memory.h"
#include "vkmsg/cmc.h"

namespace vk {

// The working pool of one call holds the recipient and attachment arrays.
constexpr uint32_t kDocumentsPoolSize = 65500;
// A file taken as the text note must be smaller than this.
constexpr uint32_t kMaxTextNoteFile = 65536;

// The message is of type "CMC: IPM", its attachments of type "? ? ? ? ? ?".
// Everything a built message points into; zero it before building and
// release it with ReleaseDocumentMessage once the message is sent.
struct DocumentMessage {
  CMC_message message;
  ResultPool pool;       // the arrays
  NameList* recipients;  // the pieces of each delimited string
  NameList* paths;
  NameList* names;
  GlobalHandle note_block;  // the first file's contents, when it is the note
};

// Builds the message of a cmc_send_documents call into `out` (the strings
// may be null; the subject and the caller's text note are used in place,
// not copied).  0, or:
// - CMC_E_INVALID_PARAMETER (16): null delimiter or `out`, or
//   CMC_FIRST_ATTACH_AS_TEXT_NOTE without any path;
// - CMC_E_FAILURE (8): a string could not be split whole (no memory, or
//   too long for one name list);
// - CMC_E_INSUFFICIENT_MEMORY (9): no working pool;
// - CMC_E_ATTACHMENT_OPEN_FAILURE (3) / CMC_E_ATTACHMENT_READ_FAILURE (4):
//   the first file, taken as the note, cannot be opened / read whole (also
//   when it has kMaxTextNoteFile bytes or more);
// - CMC_E_TOO_MANY_RECIPIENTS (27) / CMC_E_TOO_MANY_FILES (26): the array
//   does not fit the working pool.
// Whatever was built stays in `out` for ReleaseDocumentMessage on every
// result.
CMC_return_code BuildDocumentMessage(const char* recipient_addresses, const char* subject, const char* text_note,
                                     CMC_flags send_doc_flags, const char* file_paths, const char* file_names,
                                     const char* delimiter, DocumentMessage* out);

// Frees the name lists, the note and the pool, and zeroes `doc`.
void ReleaseDocumentMessage(DocumentMessage* doc);

}  // namespace vk

#endif
