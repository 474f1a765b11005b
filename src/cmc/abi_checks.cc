// Compile-time checks of the records that cross the export boundary.  On a
// 32-bit target they must have the exact layout a host compiled against the
// CMC 1.0 standard expects; on a 64-bit target the same fields must at least
// come in the same order.
#include <cstddef>

#include "vkmsg/cmc.h"
#include "vkmsg/vkmsg.h"

namespace vk {
namespace {

#define VK_ORDERED(type, a, b) static_assert(offsetof(type, a) < offsetof(type, b), #type ": " #a " before " #b)

// Fields without pointers have one layout everywhere.
static_assert(sizeof(CMC_time) == 12, "CMC_time size");
static_assert(offsetof(CMC_time, second) == 0, "CMC_time second");
static_assert(offsetof(CMC_time, minute) == 1, "CMC_time minute");
static_assert(offsetof(CMC_time, hour) == 2, "CMC_time hour");
static_assert(offsetof(CMC_time, day) == 3, "CMC_time day");
static_assert(offsetof(CMC_time, month) == 4, "CMC_time month");
static_assert(offsetof(CMC_time, year) == 5, "CMC_time year");
static_assert(offsetof(CMC_time, isdst) == 6, "CMC_time isdst");
static_assert(offsetof(CMC_time, unused1) == 7, "CMC_time unused1");
static_assert(offsetof(CMC_time, tmzone) == 8, "CMC_time tmzone");
static_assert(offsetof(CMC_time, unused2) == 10, "CMC_time unused2");
static_assert(sizeof(CMC_X_COM_support) == 8, "support pair size");
static_assert(offsetof(CMC_counted_string, length) == 0, "counted string length");
static_assert(offsetof(CMC_counted_string, string) == 4, "counted string text");
static_assert(sizeof(CMC_uint32) == 4 && sizeof(CMC_flags) == 4 && sizeof(CMC_enum) == 4 &&
                  sizeof(CMC_return_code) == 4 && sizeof(CMC_session_id) == 4,
              "32-bit scalar types");
static_assert(sizeof(CMC_uint16) == 2 && sizeof(CMC_sint8) == 1, "small scalar types");

#if UINTPTR_MAX == 0xFFFFFFFFu

static_assert(sizeof(void*) == 4 && sizeof(CMC_ui_id) == 4, "32-bit pointers");

static_assert(sizeof(CMC_extension) == 16, "CMC_extension size");
static_assert(offsetof(CMC_extension, item_code) == 0, "CMC_extension item_code");
static_assert(offsetof(CMC_extension, item_data) == 4, "CMC_extension item_data");
static_assert(offsetof(CMC_extension, item_reference) == 8, "CMC_extension item_reference");
static_assert(offsetof(CMC_extension, extension_flags) == 12, "CMC_extension extension_flags");

static_assert(sizeof(X_error_text_request) == 12, "error text request size");
static_assert(offsetof(X_error_text_request, size) == 0, "error text request size field");
static_assert(offsetof(X_error_text_request, buffer) == 4, "error text request buffer");
static_assert(offsetof(X_error_text_request, code) == 8, "error text request code");

static_assert(sizeof(CMC_counted_string) == 8, "counted string size");

static_assert(sizeof(CMC_recipient) == 24, "CMC_recipient size");
static_assert(offsetof(CMC_recipient, name) == 0, "CMC_recipient name");
static_assert(offsetof(CMC_recipient, name_type) == 4, "CMC_recipient name_type");
static_assert(offsetof(CMC_recipient, address) == 8, "CMC_recipient address");
static_assert(offsetof(CMC_recipient, role) == 12, "CMC_recipient role");
static_assert(offsetof(CMC_recipient, recip_flags) == 16, "CMC_recipient recip_flags");
static_assert(offsetof(CMC_recipient, recip_extensions) == 20, "CMC_recipient recip_extensions");

static_assert(sizeof(CMC_attachment) == 20, "CMC_attachment size");
static_assert(offsetof(CMC_attachment, attach_title) == 0, "CMC_attachment attach_title");
static_assert(offsetof(CMC_attachment, attach_type) == 4, "CMC_attachment attach_type");
static_assert(offsetof(CMC_attachment, attach_filename) == 8, "CMC_attachment attach_filename");
static_assert(offsetof(CMC_attachment, attach_flags) == 12, "CMC_attachment attach_flags");
static_assert(offsetof(CMC_attachment, attach_extensions) == 16, "CMC_attachment attach_extensions");

static_assert(sizeof(CMC_message) == 44, "CMC_message size");
static_assert(offsetof(CMC_message, message_reference) == 0, "CMC_message message_reference");
static_assert(offsetof(CMC_message, message_type) == 4, "CMC_message message_type");
static_assert(offsetof(CMC_message, subject) == 8, "CMC_message subject");
static_assert(offsetof(CMC_message, time_sent) == 12, "CMC_message time_sent");
static_assert(offsetof(CMC_message, text_note) == 24, "CMC_message text_note");
static_assert(offsetof(CMC_message, recipients) == 28, "CMC_message recipients");
static_assert(offsetof(CMC_message, attachments) == 32, "CMC_message attachments");
static_assert(offsetof(CMC_message, message_flags) == 36, "CMC_message message_flags");
static_assert(offsetof(CMC_message, message_extensions) == 40, "CMC_message message_extensions");

static_assert(sizeof(CMC_message_summary) == 40, "CMC_message_summary size");
static_assert(offsetof(CMC_message_summary, message_reference) == 0, "summary message_reference");
static_assert(offsetof(CMC_message_summary, message_type) == 4, "summary message_type");
static_assert(offsetof(CMC_message_summary, subject) == 8, "summary subject");
static_assert(offsetof(CMC_message_summary, time_sent) == 12, "summary time_sent");
static_assert(offsetof(CMC_message_summary, byte_length) == 24, "summary byte_length");
static_assert(offsetof(CMC_message_summary, originator) == 28, "summary originator");
static_assert(offsetof(CMC_message_summary, summary_flags) == 32, "summary summary_flags");
static_assert(offsetof(CMC_message_summary, message_summary_extensions) == 36, "summary extensions");

// The name list header the host reads and passes back.
static_assert(offsetof(NameList, handle) == 0, "NameList handle");
static_assert(offsetof(NameList, count) == 4, "NameList count");
static_assert(offsetof(NameList, capacity) == 6, "NameList capacity");
static_assert(offsetof(NameList, flags) == 8, "NameList flags");
static_assert(offsetof(NameList, free) == 12, "NameList free");
static_assert(offsetof(NameList, next) == 16, "NameList next");
static_assert(offsetof(NameList, slots) == 20, "NameList slots");
static_assert(sizeof(NameList) == 24, "NameList header and first slot");

#else

VK_ORDERED(CMC_extension, item_code, item_data);
VK_ORDERED(CMC_extension, item_data, item_reference);
VK_ORDERED(CMC_extension, item_reference, extension_flags);

VK_ORDERED(X_error_text_request, size, buffer);
VK_ORDERED(X_error_text_request, buffer, code);

VK_ORDERED(CMC_recipient, name, name_type);
VK_ORDERED(CMC_recipient, name_type, address);
VK_ORDERED(CMC_recipient, address, role);
VK_ORDERED(CMC_recipient, role, recip_flags);
VK_ORDERED(CMC_recipient, recip_flags, recip_extensions);

VK_ORDERED(CMC_attachment, attach_title, attach_type);
VK_ORDERED(CMC_attachment, attach_type, attach_filename);
VK_ORDERED(CMC_attachment, attach_filename, attach_flags);
VK_ORDERED(CMC_attachment, attach_flags, attach_extensions);

VK_ORDERED(CMC_message, message_reference, message_type);
VK_ORDERED(CMC_message, message_type, subject);
VK_ORDERED(CMC_message, subject, time_sent);
VK_ORDERED(CMC_message, time_sent, text_note);
VK_ORDERED(CMC_message, text_note, recipients);
VK_ORDERED(CMC_message, recipients, attachments);
VK_ORDERED(CMC_message, attachments, message_flags);
VK_ORDERED(CMC_message, message_flags, message_extensions);

VK_ORDERED(CMC_message_summary, message_reference, message_type);
VK_ORDERED(CMC_message_summary, message_type, subject);
VK_ORDERED(CMC_message_summary, subject, time_sent);
VK_ORDERED(CMC_message_summary, time_sent, byte_length);
VK_ORDERED(CMC_message_summary, byte_length, originator);
VK_ORDERED(CMC_message_summary, originator, summary_flags);
VK_ORDERED(CMC_message_summary, summary_flags, message_summary_extensions);

VK_ORDERED(NameList, handle, count);
VK_ORDERED(NameList, count, capacity);
VK_ORDERED(NameList, capacity, flags);
VK_ORDERED(NameList, flags, free);
VK_ORDERED(NameList, free, next);
VK_ORDERED(NameList, next, slots);

#endif

#undef VK_ORDERED

}  // namespace
}  // namespace vk
