// The header fields of a message file, shared by the writer (send) and the
// reader (read): their ids and names.
#ifndef VK_STORE_SMF_FIELDS_H
#define VK_STORE_SMF_FIELDS_H

namespace vk {

// Header field ids: the index of a field's name in HeaderNames.
enum HeaderFieldIds : int {
  kFieldUnknown = 0,  // not a known field (also a line without a colon)
  kFieldTag = 1,      // "SMF-71"
  kFieldAttachment = 2,
  kFieldAttachmentName = 3,
  kFieldDatePosted = 4,
  kFieldApplicationName = 5,  // known to the reader, never written
  kFieldImportance = 6,
  kFieldMessageId = 7,  // known to the reader, never written
  kFieldFrom = 8,
  kFieldTo = 9,
  kFieldCopiesTo = 10,
  kFieldBcc = 11,
  kFieldSubject = 12,
  kFieldMessageType = 13,
  kFieldEnd = 14,  // end of the header: the empty line, or the end of the file
};
constexpr int kHeaderNameCount = 15;

// The field names by id; ids 0 and 14 are empty and match no name.
extern const char* const HeaderNames[kHeaderNameCount];

}  // namespace vk

#endif
