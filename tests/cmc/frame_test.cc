// The checks every entry point makes before its work, and the extensions the
// library answers.
#include <gtest/gtest.h>

#include <cstring>

#include "cmc/module.h"
#include "cmc/session.h"
#include "vkmsg/cmc.h"

namespace {

class Frame : public ::testing::Test {
 protected:
  void SetUp() override {
    vk::ModuleAttach(nullptr);
    ASSERT_EQ(vk::Session().session_id, 0u) << "a test left a session behind";
  }
  void TearDown() override {
    vk::Session().session_id = 0;
    vk::ClearErrorSlots();
  }
  // The answer of one error-text query for the slot chosen by `flags`.
  static CMC_return_code ErrorText(X_error_text_request* request, CMC_flags flags = 0) {
    CMC_extension ext = {X_ERROR_TEXT, 0, request, CMC_EXT_LAST_ELEMENT | flags};
    return cmc_query_configuration(0, 0, nullptr, &ext);
  }
};

TEST_F(Frame, EveryCallRejectsEverySessionWhileNobodyIsLoggedOn) {
  vk::SessionRecord& slots = vk::Session();
  for (CMC_session_id s : {0u, 1u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(s);
    slots.last_error = 9;  // every call clears the error slots first
    slots.slot[1].string_id = 3;
    std::strcpy(slots.slot[0].text, "old");
    EXPECT_EQ(cmc_logoff(s, 0, 0, nullptr), CMC_E_INVALID_SESSION_ID);
    EXPECT_EQ(slots.last_error + slots.slot[1].string_id + slots.slot[0].text[0], 0u);
    // The session is checked before the arguments and flags.
    EXPECT_EQ(cmc_send(s, nullptr, 0xFF, 0, nullptr), CMC_E_INVALID_SESSION_ID);
    EXPECT_EQ(cmc_act_on(s, nullptr, CMC_ACT_ON_DELETE, 0xFF, 0, nullptr), CMC_E_INVALID_SESSION_ID);
    EXPECT_EQ(cmc_list(s, nullptr, 0, nullptr, nullptr, 0, nullptr, nullptr), CMC_E_INVALID_SESSION_ID);
    EXPECT_EQ(cmc_read(s, nullptr, 0, nullptr, 0, nullptr), CMC_E_INVALID_SESSION_ID);
    CMC_recipient dummy{};
    CMC_recipient* out = &dummy;
    CMC_uint32 count = 7;
    EXPECT_EQ(cmc_look_up(s, nullptr, 0xFF, 0, &count, &out, nullptr), CMC_E_INVALID_SESSION_ID);
    EXPECT_EQ(count, 0u);  // cleared before the session check
    EXPECT_EQ(out, nullptr);
  }
  // Only look-up checks its outputs before the session.
  CMC_uint32 count = 3;
  CMC_recipient* out = nullptr;
  EXPECT_EQ(cmc_look_up(0, nullptr, 0, 0, nullptr, &out, nullptr), CMC_E_INVALID_PARAMETER);
  EXPECT_EQ(cmc_look_up(0, nullptr, 0, 0, &count, nullptr, nullptr), CMC_E_INVALID_PARAMETER);
  EXPECT_EQ(count, 3u);
}

// With a session standing, so that the checks after the session check are
// reached.  Only rejected calls are made: nothing gets to the real work.
TEST_F(Frame, ArgumentsAreCheckedBeforeFlagsInASession) {
  vk::Session().session_id = 1;
  CMC_message message{};
  CMC_message* read = &message;
  CMC_message_summary* summaries = nullptr;
  CMC_message_reference some = {1, {'x'}};
  CMC_message_reference* ref = &some;
  CMC_uint32 count = 4;
  CMC_recipient* out = nullptr;
  EXPECT_EQ(cmc_send(1, nullptr, 0x2, 0, nullptr), CMC_E_INVALID_PARAMETER);
  EXPECT_EQ(cmc_send(1, &message, 0x2, 0, nullptr), CMC_E_UNSUPPORTED_FLAG);
  EXPECT_EQ(cmc_send(1, &message, 0x80000000, 0, nullptr), CMC_E_UNSUPPORTED_FLAG);
  EXPECT_EQ(cmc_send(2, &message, 0x2, 0, nullptr), CMC_E_INVALID_SESSION_ID);
  EXPECT_EQ(cmc_act_on(1, nullptr, CMC_ACT_ON_DELETE, 0xFF, 0, nullptr), CMC_E_INVALID_MESSAGE_REFERENCE);
  EXPECT_EQ(cmc_act_on(1, ref, CMC_ACT_ON_DELETE, 0x00010000, 0, nullptr), CMC_E_UNSUPPORTED_FLAG);
  // Operations other than delete do nothing and succeed, whatever flags pass.
  EXPECT_EQ(cmc_act_on(1, ref, CMC_ACT_ON_EXTENDED, 0x03000001, 0, nullptr), CMC_SUCCESS);
  EXPECT_EQ(cmc_list(1, nullptr, 0, nullptr, nullptr, 0, &summaries, nullptr), CMC_E_INVALID_PARAMETER);
  EXPECT_EQ(cmc_list(1, nullptr, CMC_LIST_MSG_REFS_ONLY, nullptr, &count, 0, nullptr, nullptr),
            CMC_E_INVALID_PARAMETER);
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(cmc_read(1, nullptr, 0, &read, 0, nullptr), CMC_E_INVALID_MESSAGE_REFERENCE);
  EXPECT_EQ(read, nullptr);  // cleared before the reference check
  EXPECT_EQ(cmc_read(1, ref, 0, nullptr, 0, nullptr), CMC_E_INVALID_PARAMETER);
  for (CMC_flags bad : {0x1u, 0x20u, 0x00100000u}) {
    count = 9;
    out = reinterpret_cast<CMC_recipient*>(&message);
    EXPECT_EQ(cmc_look_up(1, nullptr, bad, 0, &count, &out, nullptr), CMC_E_UNSUPPORTED_FLAG) << bad;
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(out, nullptr);
  }
  // Resolving a name needs the name.
  EXPECT_EQ(cmc_look_up(1, nullptr, CMC_LOOKUP_RESOLVE_UI | CMC_ERROR_UI_ALLOWED, 0, &count, &out, nullptr),
            CMC_E_INVALID_PARAMETER);
}

TEST_F(Frame, ExtensionWalkAnswersEachPairAndGoesOnPastMalformedElements) {
  char buffer[16];
  std::memset(buffer, 'Z', sizeof buffer);
  for (CMC_enum item = 0; item < 12; ++item) EXPECT_EQ(cmc_query_configuration(0, item, buffer, nullptr), CMC_SUCCESS);
  for (char c : buffer) EXPECT_EQ(c, 'Z');  // without extensions nothing is touched
  CMC_X_COM_support pairs[4] = {{X_ERROR_TEXT, 0}, {0, 0}, {17, 0}, {CMC_X_COM_SUPPORT_EXT, 0}};
  X_error_text_request request = {0, nullptr, 55};
  CMC_X_COM_support after[1] = {{X_ERROR_TEXT, 99}};
  CMC_extension ext[7] = {
      {CMC_X_COM_SUPPORT_EXT, 3, nullptr, 0},  // malformed
      {X_ERROR_TEXT, 0, &request, 0},
      {X_ERROR_TEXT, 0, nullptr, 0},         // malformed
      {12345, 8, nullptr, 0},                // unknown: ignored, even without data
      {CMC_X_COM_SUPPORT_EXT, 0, pairs, 0},  // no pairs at all is well formed
      {CMC_X_COM_SUPPORT_EXT, 4, pairs, CMC_EXT_LAST_ELEMENT},
      {CMC_X_COM_SUPPORT_EXT, 1, after, 0},  // past the last element
  };
  EXPECT_EQ(cmc_query_configuration(0, 0, nullptr, ext), CMC_E_INVALID_PARAMETER);
  EXPECT_EQ(request.size, 1u);
  EXPECT_EQ(request.code, 0u);
  EXPECT_EQ(pairs[0].flags, CMC_X_COM_SUPPORTED);
  for (int i = 1; i < 4; ++i) EXPECT_EQ(pairs[i].flags, CMC_X_COM_NOT_SUPPORTED) << i;
  EXPECT_EQ(after[0].flags, 99u);
  EXPECT_EQ(cmc_query_configuration(0, 0, nullptr, &ext[4]), CMC_SUCCESS);
}

TEST_F(Frame, ErrorTextIsCutToTheBufferAndTellsItsWholeLength) {
  vk::SessionRecord& s = vk::Session();
  s.last_error = 0x1234;
  std::strcpy(s.slot[0].text, "first slot");
  std::strcpy(s.slot[1].text, "second");
  char buffer[32];
  struct Case {
    CMC_flags slot;  // bit 0 of the flags chooses it
    CMC_uint32 size;
    bool buffer;
    const char* text;  // null: nothing written
    CMC_uint32 length;
  };
  const Case cases[] = {{0, 0, true, nullptr, 11},  {0, 10, false, nullptr, 11}, {0, 32, true, "first slot", 11},
                        {1, 32, true, "second", 7}, {1, 4, true, "sec", 7},      {1, 1, true, "", 7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    std::memset(buffer, 'Q', sizeof buffer);
    X_error_text_request request = {c.size, c.buffer ? buffer : nullptr, 0};
    EXPECT_EQ(ErrorText(&request, c.slot), CMC_SUCCESS);
    EXPECT_EQ(request.size, c.length);
    EXPECT_EQ(request.code, 0x1234u);
    if (c.text == nullptr) {
      EXPECT_EQ(buffer[0], 'Q');
      continue;
    }
    EXPECT_STREQ(buffer, c.text);
    if (c.size < sizeof buffer) {
      EXPECT_EQ(buffer[c.size], 'Q');  // nothing past the cut
    }
  }
  // A slot whose text is unterminated is never read past its end.
  std::memset(s.slot[0].text, 'A', sizeof s.slot[0].text);
  X_error_text_request request = {0, nullptr, 0};
  EXPECT_EQ(ErrorText(&request), CMC_SUCCESS);
  EXPECT_EQ(request.size, 512u);
}

}  // namespace
