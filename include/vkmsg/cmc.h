/* Common Messaging Calls 1.0: the records, constants and entry points that
 * the library offers to a host.  On 32-bit Windows the records have exactly
 * the standard's layout (4-byte pointers, natural alignment); on 64-bit
 * targets the same fields keep their order with the platform's natural
 * alignment. */
#ifndef VKMSG_CMC_H
#define VKMSG_CMC_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define CMC_CALL __stdcall
#if defined(VKMSG_BUILDING)
#define CMC_EXPORT
#else
#define CMC_EXPORT __declspec(dllimport)
#endif
#else
#define CMC_CALL
#if defined(VKMSG_BUILDING)
#define CMC_EXPORT __attribute__((visibility("default")))
#else
#define CMC_EXPORT
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef int8_t CMC_sint8;
typedef int16_t CMC_sint16;
typedef int32_t CMC_sint32;
typedef uint16_t CMC_uint16;
typedef uint32_t CMC_uint32;
typedef void *CMC_buffer;
typedef char *CMC_string;
typedef CMC_uint16 CMC_boolean;
typedef CMC_uint32 CMC_enum;
typedef CMC_uint32 CMC_return_code;
typedef CMC_uint32 CMC_flags;
typedef CMC_string CMC_object_identifier;
typedef CMC_uint32 CMC_session_id;
typedef uintptr_t CMC_ui_id;

typedef struct {
    CMC_uint32 length;
    char string[1];
} CMC_counted_string;
typedef CMC_counted_string CMC_message_reference;

typedef struct {
    CMC_sint8 second;
    CMC_sint8 minute;
    CMC_sint8 hour;
    CMC_sint8 day;
    CMC_sint8 month;
    CMC_sint8 year;
    CMC_sint8 isdst;
    CMC_sint8 unused1;
    CMC_sint16 tmzone;
    CMC_sint16 unused2;
} CMC_time;

typedef struct {
    CMC_uint32 item_code;
    CMC_uint32 item_data;
    CMC_buffer item_reference;
    CMC_flags extension_flags;
} CMC_extension;

typedef struct {
    CMC_string name;
    CMC_enum name_type;
    CMC_string address;
    CMC_enum role;
    CMC_flags recip_flags;
    CMC_extension *recip_extensions;
} CMC_recipient;

typedef struct {
    CMC_string attach_title;
    CMC_object_identifier attach_type;
    CMC_string attach_filename;
    CMC_flags attach_flags;
    CMC_extension *attach_extensions;
} CMC_attachment;

typedef struct {
    CMC_message_reference *message_reference;
    CMC_string message_type;
    CMC_string subject;
    CMC_time time_sent;
    CMC_string text_note;
    CMC_recipient *recipients;
    CMC_attachment *attachments;
    CMC_flags message_flags;
    CMC_extension *message_extensions;
} CMC_message;

typedef struct {
    CMC_message_reference *message_reference;
    CMC_string message_type;
    CMC_string subject;
    CMC_time time_sent;
    CMC_uint32 byte_length;
    CMC_recipient *originator;
    CMC_flags summary_flags;
    CMC_extension *message_summary_extensions;
} CMC_message_summary;

/* The pairs behind a support query (item 16). */
typedef struct {
    CMC_uint32 item_code;
    CMC_uint32 flags;
} CMC_X_COM_support;

/* Return codes. */
#define CMC_SUCCESS 0
#define CMC_E_AMBIGUOUS_RECIPIENT 1
#define CMC_E_ATTACHMENT_NOT_FOUND 2
#define CMC_E_ATTACHMENT_OPEN_FAILURE 3
#define CMC_E_ATTACHMENT_READ_FAILURE 4
#define CMC_E_ATTACHMENT_WRITE_FAILURE 5
#define CMC_E_COUNTED_STRING_UNSUPPORTED 6
#define CMC_E_DISK_FULL 7
#define CMC_E_FAILURE 8
#define CMC_E_INSUFFICIENT_MEMORY 9
#define CMC_E_INVALID_CONFIGURATION 10
#define CMC_E_INVALID_ENUM 11
#define CMC_E_INVALID_FLAG 12
#define CMC_E_INVALID_MEMORY 13
#define CMC_E_INVALID_MESSAGE_PARAMETER 14
#define CMC_E_INVALID_MESSAGE_REFERENCE 15
#define CMC_E_INVALID_PARAMETER 16
#define CMC_E_INVALID_SESSION_ID 17
#define CMC_E_INVALID_UI_ID 18
#define CMC_E_LOGON_FAILURE 19
#define CMC_E_MESSAGE_IN_USE 20
#define CMC_E_NOT_SUPPORTED 21
#define CMC_E_PASSWORD_REQUIRED 22
#define CMC_E_RECIPIENT_NOT_FOUND 23
#define CMC_E_SERVICE_UNAVAILABLE 24
#define CMC_E_TEXT_TOO_LARGE 25
#define CMC_E_TOO_MANY_FILES 26
#define CMC_E_TOO_MANY_RECIPIENTS 27
#define CMC_E_UNABLE_TO_NOT_MARK_AS_READ 28
#define CMC_E_UNRECOGNIZED_MESSAGE_TYPE 29
#define CMC_E_UNSUPPORTED_ACTION 30
#define CMC_E_UNSUPPORTED_CHARACTER_SET 31
#define CMC_E_UNSUPPORTED_DATA_EXT 32
#define CMC_E_UNSUPPORTED_FLAG 33
#define CMC_E_UNSUPPORTED_FUNCTION_EXT 34
#define CMC_E_UNSUPPORTED_VERSION 35
#define CMC_E_USER_CANCEL 36
#define CMC_E_USER_NOT_LOGGED_ON 37

/* Flags. */
#define CMC_ERROR_UI_ALLOWED ((CMC_flags)0x01000000)
#define CMC_LOGON_UI_ALLOWED ((CMC_flags)0x02000000)
#define CMC_EXT_LAST_ELEMENT ((CMC_flags)0x80000000)
#define CMC_RECIP_LAST_ELEMENT ((CMC_flags)0x80000000)
#define CMC_ATT_APP_OWNS_FILE ((CMC_flags)1)
#define CMC_ATT_LAST_ELEMENT ((CMC_flags)0x80000000)
#define CMC_MSG_READ ((CMC_flags)1)
#define CMC_MSG_TEXT_NOTE_AS_FILE ((CMC_flags)2)
#define CMC_MSG_UNSENT ((CMC_flags)4)
#define CMC_MSG_LAST_ELEMENT ((CMC_flags)0x80000000)
#define CMC_SUM_READ ((CMC_flags)1)
#define CMC_SUM_UNSENT ((CMC_flags)2)
#define CMC_SUM_LAST_ELEMENT ((CMC_flags)0x80000000)
#define CMC_SEND_UI_REQUESTED ((CMC_flags)1)
#define CMC_FIRST_ATTACH_AS_TEXT_NOTE ((CMC_flags)2)
#define CMC_LIST_UNREAD_ONLY ((CMC_flags)1)
#define CMC_LIST_MSG_REFS_ONLY ((CMC_flags)2)
#define CMC_LIST_COUNT_ONLY ((CMC_flags)4)
#define CMC_DO_NOT_MARK_AS_READ ((CMC_flags)1)
#define CMC_LOOKUP_RESOLVE_PREFIX_SEARCH ((CMC_flags)1)
#define CMC_LOOKUP_RESOLVE_IDENTITY ((CMC_flags)2)
#define CMC_LOOKUP_RESOLVE_UI ((CMC_flags)4)
#define CMC_LOOKUP_DETAILS_UI ((CMC_flags)8)
#define CMC_LOOKUP_ADDRESSING_UI ((CMC_flags)16)

/* Enumerations. */
#define CMC_TYPE_UNKNOWN 0
#define CMC_TYPE_INDIVIDUAL 1
#define CMC_TYPE_GROUP 2
#define CMC_ROLE_TO 0
#define CMC_ROLE_CC 1
#define CMC_ROLE_BCC 2
#define CMC_ROLE_ORIGINATOR 3
#define CMC_ROLE_AUTHORIZING_USER 4
#define CMC_ACT_ON_EXTENDED 0
#define CMC_ACT_ON_DELETE 1
#define CMC_VERSION 100

/* Extension items. */
#define CMC_X_COM_SUPPORT_EXT 16
#define CMC_X_COM_SUPPORTED 1
#define CMC_X_COM_NOT_SUPPORTED 2
#define X_IMPORTANCE 131
#define X_ERROR_TEXT 16259

/* The record an X_ERROR_TEXT extension points to. */
typedef struct {
    CMC_uint32 size;
    char *buffer;
    CMC_uint32 code;
} X_error_text_request;

CMC_EXPORT CMC_return_code CMC_CALL cmc_logon(CMC_string service, CMC_string user, CMC_string password,
                                              CMC_string character_set, CMC_ui_id ui_id,
                                              CMC_uint16 caller_cmc_version, CMC_flags logon_flags,
                                              CMC_session_id *session, CMC_extension *logon_extensions);
CMC_EXPORT CMC_return_code CMC_CALL cmc_logoff(CMC_session_id session, CMC_ui_id ui_id, CMC_flags logoff_flags,
                                               CMC_extension *logoff_extensions);
CMC_EXPORT CMC_return_code CMC_CALL cmc_free(CMC_buffer memory);
CMC_EXPORT CMC_return_code CMC_CALL cmc_query_configuration(CMC_session_id session, CMC_enum item,
                                                            CMC_buffer reference,
                                                            CMC_extension *config_extensions);
CMC_EXPORT CMC_return_code CMC_CALL cmc_send(CMC_session_id session, CMC_message *message, CMC_flags send_flags,
                                             CMC_ui_id ui_id, CMC_extension *send_extensions);
CMC_EXPORT CMC_return_code CMC_CALL cmc_send_documents(CMC_string recipient_addresses, CMC_string subject,
                                                       CMC_string text_note, CMC_flags send_doc_flags,
                                                       CMC_string file_paths, CMC_string file_names,
                                                       CMC_string delimiter, CMC_ui_id ui_id);
CMC_EXPORT CMC_return_code CMC_CALL cmc_act_on(CMC_session_id session, CMC_message_reference *message_reference,
                                               CMC_enum operation, CMC_flags act_on_flags, CMC_ui_id ui_id,
                                               CMC_extension *act_on_extensions);
CMC_EXPORT CMC_return_code CMC_CALL cmc_list(CMC_session_id session, CMC_string message_type,
                                             CMC_flags list_flags, CMC_message_reference *seed,
                                             CMC_uint32 *count, CMC_ui_id ui_id, CMC_message_summary **result,
                                             CMC_extension *list_extensions);
CMC_EXPORT CMC_return_code CMC_CALL cmc_read(CMC_session_id session, CMC_message_reference *message_reference,
                                             CMC_flags read_flags, CMC_message **message, CMC_ui_id ui_id,
                                             CMC_extension *read_extensions);
CMC_EXPORT CMC_return_code CMC_CALL cmc_look_up(CMC_session_id session, CMC_recipient *recipient_in,
                                                CMC_flags look_up_flags, CMC_ui_id ui_id, CMC_uint32 *count,
                                                CMC_recipient **recipient_out,
                                                CMC_extension *look_up_extensions);

#ifdef __cplusplus
}
#endif

#endif
