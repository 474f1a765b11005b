// cmc_send_documents after its error slots were cleared: logon on demand,
// the message built from the delimited strings, the send, logoff.
#include "send/documents.h"

#include <cstring>

#include "cmc/handlers.h"
#include "cmc/session.h"
#include "store/fileprim.h"

namespace vk {

namespace {

// The records hold non-const strings; nothing writes through them.
char g_message_type[] = "CMC: IPM";
char g_attach_type[] = "? ? ? ? ? ?";

// The number of non-empty pieces `text` splits into.
std::size_t CountPieces(const char* text, const char* delimiter) {
  std::size_t pieces = 0;
  bool inside = false;
  for (const char* p = text; *p != '\0'; ++p) {
    const bool separator = std::strchr(delimiter, *p) != nullptr;
    if (!separator && !inside) ++pieces;
    inside = !separator;
  }
  return pieces;
}

// Splits a copy of `text` into `*out` (null text: no list).  A list that
// could not take every piece would drop a recipient or a file unnoticed,
// so it counts as a failure.
CMC_return_code SplitPieces(const char* text, const char* delimiter, NameList** out) {
  *out = nullptr;
  if (text == nullptr) return CMC_SUCCESS;
  const std::size_t length = std::strlen(text);
  if (length >= kNameListMaxBlock) return CMC_E_FAILURE;
  GlobalHandle block = PlatGlobalAlloc(kGmemMoveable, length + 1);
  char* copy = static_cast<char*>(PlatGlobalLock(block));
  if (copy == nullptr) {
    if (block != nullptr) PlatGlobalFree(block);
    return CMC_E_FAILURE;
  }
  std::memcpy(copy, text, length + 1);
  NameList* list = SplitToNameList(copy, delimiter, kNameModeAppend);
  PlatGlobalUnlock(block);
  PlatGlobalFree(block);
  if (list == nullptr) return CMC_E_FAILURE;
  if (list->count != CountPieces(text, delimiter)) {
    FreeNameList(list);
    return CMC_E_FAILURE;
  }
  *out = list;
  return CMC_SUCCESS;
}

// Reads the whole file `path` into a new locked global block, terminated.
CMC_return_code ReadNoteFile(const char* path, GlobalHandle* block_out, char** text_out) {
  FileHandle h = OpenFileMode(path, kModeReadShared);
  if (h == kNoFile) return CMC_E_ATTACHMENT_OPEN_FAILURE;
  CMC_return_code code = CMC_SUCCESS;
  const uint32_t size = FileSize(h);
  GlobalHandle block = nullptr;
  char* text = nullptr;
  if (size == 0xFFFFFFFFu || size >= kMaxTextNoteFile) {
    code = CMC_E_ATTACHMENT_READ_FAILURE;
  } else {
    block = PlatGlobalAlloc(kGmemMoveable | kGmemZeroInit, size + 1);
    text = static_cast<char*>(PlatGlobalLock(block));
    if (text == nullptr) {
      code = CMC_E_INSUFFICIENT_MEMORY;
    } else {
      uint32_t total = 0;
      while (total < size) {
        const uint32_t got = ReadFileBytes(h, text + total, size - total);
        if (got == 0) break;
        total += got;
      }
      if (total != size) code = CMC_E_ATTACHMENT_READ_FAILURE;
      text[total] = '\0';
    }
  }
  CloseFile(h);
  if (code != CMC_SUCCESS) {
    if (text != nullptr) PlatGlobalUnlock(block);
    if (block != nullptr) PlatGlobalFree(block);
    return code;
  }
  *block_out = block;
  *text_out = text;
  return CMC_SUCCESS;
}

}  // namespace

CMC_return_code BuildDocumentMessage(const char* recipient_addresses, const char* subject, const char* text_note,
                                     CMC_flags send_doc_flags, const char* file_paths, const char* file_names,
                                     const char* delimiter, DocumentMessage* out) {
  if (out == nullptr || delimiter == nullptr) return CMC_E_INVALID_PARAMETER;
  PoolInit(&out->pool, kDocumentsPoolSize);
  if (out->pool.next == nullptr) return CMC_E_INSUFFICIENT_MEMORY;

  CMC_return_code code = SplitPieces(recipient_addresses, delimiter, &out->recipients);
  if (code == CMC_SUCCESS) code = SplitPieces(file_paths, delimiter, &out->paths);
  if (code == CMC_SUCCESS) code = SplitPieces(file_names, delimiter, &out->names);
  if (code != CMC_SUCCESS) return code;

  CMC_message& m = out->message;
  std::memset(&m, 0, sizeof m);
  m.message_type = g_message_type;
  m.subject = const_cast<char*>(subject);
  m.message_flags = CMC_MSG_LAST_ELEMENT;
  // The caller's note lives for the whole call: no copy, and so no limit
  // that would cut it.
  m.text_note = const_cast<char*>(text_note);

  if (send_doc_flags & CMC_FIRST_ATTACH_AS_TEXT_NOTE) {
    if (out->paths == nullptr || out->paths->count == 0) return CMC_E_INVALID_PARAMETER;
    char* note = nullptr;
    code = ReadNoteFile(out->paths->slots[0], &out->note_block, &note);
    if (code != CMC_SUCCESS) return code;
    m.text_note = note;
    out->paths = RemoveNameAt(out->paths, 0);
    if (out->names != nullptr && out->names->count > 0) out->names = RemoveNameAt(out->names, 0);
  }

  const unsigned recipients = out->recipients != nullptr ? out->recipients->count : 0;
  if (recipients > 0) {
    CMC_recipient* r = static_cast<CMC_recipient*>(
        PoolAllocRecord(&out->pool, static_cast<uint32_t>(recipients * sizeof(CMC_recipient))));
    if (r == nullptr) return CMC_E_TOO_MANY_RECIPIENTS;
    for (unsigned i = 0; i < recipients; ++i) {
      std::memset(&r[i], 0, sizeof r[i]);
      r[i].name = out->recipients->slots[i];
      r[i].role = CMC_ROLE_TO;
    }
    r[recipients - 1].recip_flags = CMC_RECIP_LAST_ELEMENT;
    m.recipients = r;
  }

  const unsigned files = out->paths != nullptr ? out->paths->count : 0;
  if (files > 0) {
    CMC_attachment* a = static_cast<CMC_attachment*>(
        PoolAllocRecord(&out->pool, static_cast<uint32_t>(files * sizeof(CMC_attachment))));
    if (a == nullptr) return CMC_E_TOO_MANY_FILES;
    const bool titled = out->names != nullptr && out->names->count == files;
    for (unsigned i = 0; i < files; ++i) {
      std::memset(&a[i], 0, sizeof a[i]);
      a[i].attach_filename = out->paths->slots[i];
      // Untitled attachments are written under their file names.
      a[i].attach_title = titled ? out->names->slots[i] : nullptr;
      a[i].attach_type = g_attach_type;
      a[i].attach_flags = CMC_ATT_APP_OWNS_FILE;
    }
    a[files - 1].attach_flags |= CMC_ATT_LAST_ELEMENT;
    m.attachments = a;
  }
  return CMC_SUCCESS;
}

void ReleaseDocumentMessage(DocumentMessage* doc) {
  if (doc == nullptr) return;
  FreeNameList(doc->recipients);
  FreeNameList(doc->paths);
  FreeNameList(doc->names);
  if (doc->note_block != nullptr) {
    PlatGlobalUnlock(doc->note_block);
    PlatGlobalFree(doc->note_block);
  }
  if (doc->pool.base != nullptr) PoolReleaseBlock(doc->pool.base);
  std::memset(doc, 0, sizeof *doc);
}

CMC_return_code SendDocuments(CMC_string recipient_addresses, CMC_string subject, CMC_string text_note,
                              CMC_flags send_doc_flags, CMC_string file_paths, CMC_string file_names,
                              CMC_string delimiter, CMC_ui_id ui_id) {
  CMC_session_id session = CurrentSessionId();
  bool logged_on = false;
  if (session == 0) {
    const CMC_return_code logon = cmc_logon(nullptr, nullptr, nullptr, nullptr, ui_id, CMC_VERSION,
                                            send_doc_flags & CMC_LOGON_UI_ALLOWED, &session, nullptr);
    if (logon != CMC_SUCCESS) return logon;
    logged_on = true;
  }

  CMC_return_code code = CMC_E_INVALID_PARAMETER;
  if (delimiter != nullptr) {
    DocumentMessage doc;
    std::memset(&doc, 0, sizeof doc);
    code = BuildDocumentMessage(recipient_addresses, subject, text_note, send_doc_flags, file_paths, file_names,
                                delimiter, &doc);
    if (code == CMC_SUCCESS) {
      code = cmc_send(session, &doc.message, send_doc_flags & ~CMC_FIRST_ATTACH_AS_TEXT_NOTE, ui_id, nullptr);
    }
    ReleaseDocumentMessage(&doc);
  }

  if (logged_on) {
    const CMC_return_code logoff = cmc_logoff(session, ui_id, 0, nullptr);
    if (code == CMC_SUCCESS) code = logoff;
  }
  return code;
}

}  // namespace vk
