// The exported CMC entry points: each clears the error slots, checks the
// session, its required arguments and its flags, and then hands over to the
// code that does the work, all of it inside the guard that keeps any
// exception from reaching the host.
#include "cmc/frame.h"
#include "cmc/handlers.h"
#include "cmc/logon.h"
#include "cmc/module.h"
#include "cmc/pool.h"
#include "cmc/session.h"
#include "store/config.h"
#include "users/registry.h"

namespace {

// Every entry point may be the first call into the library (a static build
// has no module entry), so each makes sure the module is set up.
void Attach() { vk::ModuleAttach(nullptr); }

}  // namespace

extern "C" {

CMC_EXPORT CMC_return_code CMC_CALL cmc_logon(CMC_string service, CMC_string user, CMC_string password,
                                              CMC_string character_set, CMC_ui_id ui_id, CMC_uint16 caller_cmc_version,
                                              CMC_flags logon_flags, CMC_session_id* session,
                                              CMC_extension* logon_extensions) {
  return vk::GuardedCmc([&]() -> CMC_return_code {
    (void)service;
    (void)character_set;
    (void)logon_flags;
    Attach();
    vk::ClearErrorSlots();
    if (session == nullptr) return CMC_E_INVALID_PARAMETER;
    const int code = vk::EnsureConfigLoaded();
    if (code != 0) return static_cast<CMC_return_code>(code);
    if (caller_cmc_version > vk::kMaxCallerVersion) return CMC_E_UNSUPPORTED_VERSION;
    const CMC_return_code ext = vk::ProcessExtensions(logon_extensions, vk::ExtensionMode::kLogon);
    if (ext != CMC_SUCCESS) return ext;
    if (vk::CurrentSessionId() != 0) {
      *session = vk::CurrentSessionId();
      return CMC_SUCCESS;
    }
    return vk::LogonUser(user, password, ui_id, session, logon_extensions);
  });
}

CMC_EXPORT CMC_return_code CMC_CALL cmc_logoff(CMC_session_id session, CMC_ui_id ui_id, CMC_flags logoff_flags,
                                               CMC_extension* logoff_extensions) {
  return vk::GuardedCmc([&]() -> CMC_return_code {
    (void)ui_id;
    (void)logoff_flags;
    (void)logoff_extensions;
    Attach();
    vk::ClearErrorSlots();
    if (!vk::SessionIsValid(session)) return CMC_E_INVALID_SESSION_ID;
    return vk::LogoffUser();
  });
}

CMC_EXPORT CMC_return_code CMC_CALL cmc_free(CMC_buffer memory) {
  return vk::GuardedCmc([&]() -> CMC_return_code {
    Attach();
    if (memory == nullptr) return CMC_SUCCESS;
    // The session pool lives as long as the process; it is never a result.
    const vk::ResultPool& session_pool = vk::Session().pool;
    if (session_pool.base != nullptr) {
      const uintptr_t a = reinterpret_cast<uintptr_t>(memory);
      const uintptr_t b = reinterpret_cast<uintptr_t>(session_pool.base);
      if (a >= b && a - b < vk::kReservationSize) return CMC_E_INVALID_MEMORY;
    }
    // Only a live result block is released; a stale, foreign or second-freed
    // address is refused without being touched.
    return vk::PoolReleaseBlock(memory) ? CMC_SUCCESS : CMC_E_INVALID_MEMORY;
  });
}

CMC_EXPORT CMC_return_code CMC_CALL cmc_query_configuration(CMC_session_id session, CMC_enum item, CMC_buffer reference,
                                                            CMC_extension* config_extensions) {
  return vk::GuardedCmc([&]() -> CMC_return_code {
    (void)session;
    (void)item;
    (void)reference;
    Attach();
    return vk::ProcessExtensions(config_extensions, vk::ExtensionMode::kConfiguration);
  });
}

CMC_EXPORT CMC_return_code CMC_CALL cmc_send(CMC_session_id session, CMC_message* message, CMC_flags send_flags,
                                             CMC_ui_id ui_id, CMC_extension* send_extensions) {
  return vk::GuardedCmc([&]() -> CMC_return_code {
    (void)send_extensions;
    Attach();
    vk::ClearErrorSlots();
    if (!vk::SessionIsValid(session)) return CMC_E_INVALID_SESSION_ID;
    if (message == nullptr) return CMC_E_INVALID_PARAMETER;
    if (!vk::FlagsAccepted(send_flags, vk::kSendOwnFlags)) return CMC_E_UNSUPPORTED_FLAG;
    return vk::SendMessage(session, message, send_flags, ui_id);
  });
}

CMC_EXPORT CMC_return_code CMC_CALL cmc_send_documents(CMC_string recipient_addresses, CMC_string subject,
                                                       CMC_string text_note, CMC_flags send_doc_flags,
                                                       CMC_string file_paths, CMC_string file_names,
                                                       CMC_string delimiter, CMC_ui_id ui_id) {
  return vk::GuardedCmc([&]() -> CMC_return_code {
    Attach();
    vk::ClearErrorSlots();
    return vk::SendDocuments(recipient_addresses, subject, text_note, send_doc_flags, file_paths, file_names, delimiter,
                             ui_id);
  });
}

CMC_EXPORT CMC_return_code CMC_CALL cmc_act_on(CMC_session_id session, CMC_message_reference* message_reference,
                                               CMC_enum operation, CMC_flags act_on_flags, CMC_ui_id ui_id,
                                               CMC_extension* act_on_extensions) {
  return vk::GuardedCmc([&]() -> CMC_return_code {
    (void)ui_id;
    (void)act_on_extensions;
    Attach();
    vk::ClearErrorSlots();
    if (!vk::SessionIsValid(session)) return CMC_E_INVALID_SESSION_ID;
    if (message_reference == nullptr) return CMC_E_INVALID_MESSAGE_REFERENCE;
    if (!vk::FlagsAccepted(act_on_flags, vk::kActOnOwnFlags)) return CMC_E_UNSUPPORTED_FLAG;
    if (operation == CMC_ACT_ON_DELETE) return vk::DeleteMessage(message_reference);
    return CMC_SUCCESS;
  });
}

CMC_EXPORT CMC_return_code CMC_CALL cmc_list(CMC_session_id session, CMC_string message_type, CMC_flags list_flags,
                                             CMC_message_reference* seed, CMC_uint32* count, CMC_ui_id ui_id,
                                             CMC_message_summary** result, CMC_extension* list_extensions) {
  return vk::GuardedCmc([&]() -> CMC_return_code {
    (void)message_type;
    (void)ui_id;
    (void)list_extensions;
    Attach();
    vk::ClearErrorSlots();
    if (!vk::SessionIsValid(session)) return CMC_E_INVALID_SESSION_ID;
    if (count == nullptr) return CMC_E_INVALID_PARAMETER;
    if (result == nullptr && (list_flags & CMC_LIST_COUNT_ONLY) == 0) return CMC_E_INVALID_PARAMETER;
    if (result != nullptr) *result = nullptr;
    const CMC_uint32 maximum = *count;
    *count = 0;
    return vk::ListMessages(list_flags, seed, maximum, count, result);
  });
}

CMC_EXPORT CMC_return_code CMC_CALL cmc_read(CMC_session_id session, CMC_message_reference* message_reference,
                                             CMC_flags read_flags, CMC_message** message, CMC_ui_id ui_id,
                                             CMC_extension* read_extensions) {
  return vk::GuardedCmc([&]() -> CMC_return_code {
    (void)ui_id;
    (void)read_extensions;
    Attach();
    vk::ClearErrorSlots();
    if (!vk::SessionIsValid(session)) return CMC_E_INVALID_SESSION_ID;
    // Without somewhere to put the message there is nothing to read into.
    if (message == nullptr) return CMC_E_INVALID_PARAMETER;
    *message = nullptr;
    if (message_reference == nullptr) return CMC_E_INVALID_MESSAGE_REFERENCE;
    CMC_message* read = nullptr;
    const CMC_return_code code = vk::ReadMessage(message_reference, &read);
    if (code != CMC_SUCCESS) {
      if (read != nullptr) cmc_free(read);
      return code;
    }
    if ((read_flags & CMC_DO_NOT_MARK_AS_READ) == 0) {
      const CMC_return_code marked = vk::MarkRead(message_reference);
      if (marked != CMC_SUCCESS) {
        // A failure hands nothing out, or the caller would never free it.
        cmc_free(read);
        return marked;
      }
    }
    *message = read;
    return CMC_SUCCESS;
  });
}

CMC_EXPORT CMC_return_code CMC_CALL cmc_look_up(CMC_session_id session, CMC_recipient* recipient_in,
                                                CMC_flags look_up_flags, CMC_ui_id ui_id, CMC_uint32* count,
                                                CMC_recipient** recipient_out, CMC_extension* look_up_extensions) {
  return vk::GuardedCmc([&]() -> CMC_return_code {
    (void)look_up_extensions;
    Attach();
    vk::ClearErrorSlots();
    if (count == nullptr || recipient_out == nullptr) return CMC_E_INVALID_PARAMETER;
    *count = 0;
    *recipient_out = nullptr;
    if (!vk::SessionIsValid(session)) return CMC_E_INVALID_SESSION_ID;
    if (!vk::FlagsAccepted(look_up_flags, vk::kLookUpOwnFlags)) return CMC_E_UNSUPPORTED_FLAG;
    CMC_uint32 found = 0;
    CMC_recipient* out = nullptr;
    CMC_return_code code;
    if (look_up_flags & CMC_LOOKUP_RESOLVE_IDENTITY) {
      code = vk::ResolveIdentity(&found, &out);
    } else if ((look_up_flags & CMC_LOOKUP_ADDRESSING_UI) == 0) {
      if (recipient_in == nullptr) return CMC_E_INVALID_PARAMETER;
      code = vk::ResolveRecipient(recipient_in, look_up_flags, ui_id, &found, &out);
    } else {
      code = vk::AddressingDialog(recipient_in, ui_id, &found, &out);
    }
    if (code != CMC_SUCCESS) {
      if (out != nullptr) cmc_free(out);
      return code;
    }
    *count = found;
    *recipient_out = out;
    return CMC_SUCCESS;
  });
}

}  // extern "C"
