// The work behind the CMC entry points that other parts of the library do.
// The entry points make their checks first and then hand over here.
#ifndef VK_CMC_HANDLERS_H
#define VK_CMC_HANDLERS_H

#include "cmc/cmc_types.h"

namespace vk {

// cmc_send: staging and delivery.
CMC_return_code SendMessage(CMC_session_id session, CMC_message* message, CMC_flags send_flags, CMC_ui_id ui_id);
// cmc_send_documents, after the error slots were cleared: the whole call.
CMC_return_code SendDocuments(CMC_string recipient_addresses, CMC_string subject, CMC_string text_note,
                              CMC_flags send_doc_flags, CMC_string file_paths, CMC_string file_names,
                              CMC_string delimiter, CMC_ui_id ui_id);
// cmc_act_on with CMC_ACT_ON_DELETE.
CMC_return_code DeleteMessage(CMC_message_reference* message_reference);
// cmc_list after its checks: *count in = the maximum; `result` may be null
// only with CMC_LIST_COUNT_ONLY.  *count and *result are already 0/null.
CMC_return_code ListMessages(CMC_flags list_flags, CMC_message_reference* seed, CMC_uint32 maximum, CMC_uint32* count,
                             CMC_message_summary** result);
// cmc_read: the message into a new result block (*message set on success).
CMC_return_code ReadMessage(CMC_message_reference* message_reference, CMC_message** message);
// cmc_read without CMC_DO_NOT_MARK_AS_READ, after a successful read.
CMC_return_code MarkRead(CMC_message_reference* message_reference);
// cmc_look_up with CMC_LOOKUP_RESOLVE_IDENTITY: one record for the user.
CMC_return_code ResolveIdentity(CMC_uint32* count, CMC_recipient** recipient_out);
// cmc_look_up without the addressing dialog: the first recipient of `recipients`.
CMC_return_code ResolveRecipient(CMC_recipient* recipient, CMC_flags look_up_flags, CMC_ui_id ui_id, CMC_uint32* count,
                                 CMC_recipient** recipient_out);
// cmc_look_up with CMC_LOOKUP_ADDRESSING_UI.
CMC_return_code AddressingDialog(CMC_recipient* recipients, CMC_ui_id ui_id, CMC_uint32* count,
                                 CMC_recipient** recipient_out);

}  // namespace vk

#endif
