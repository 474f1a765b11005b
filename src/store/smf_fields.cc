#include "store/smf_fields.h"

namespace vk {

const char* const HeaderNames[kHeaderNameCount] = {
    "",
    "SMF-71",
    "Attachment",
    "Attachment-name",
    "Date-posted",
    "Application-name",
    "Importance",
    "Message-id",
    "From",
    "To",
    "Copies-To",
    "BCC",
    "Subject",
    "X-XAPIA_CMC_MESSAGE_TYPE",
    "",
};

}  // namespace vk
