// The sending suites' names for the shared mail-tree fixture and builders.
#ifndef VKMSG_TESTS_SEND_TEST_UTIL_H
#define VKMSG_TESTS_SEND_TEST_UTIL_H

#include <filesystem>

#include "cmc/module.h"
#include "cmc/pool.h"
#include "cmc/session.h"
#include "platform/fault.h"
#include "send/deliver.h"
#include "send/smf_writer.h"
#include "store/config.h"
#include "store/fileprim.h"
#include "support/mail_tree.h"
#include "users/registry.h"

namespace sendtest {

namespace fs = std::filesystem;
using MailTree = vktest::SenderTree;
using vktest::Attach;
using vktest::kFixedDateLine;
using vktest::Message;
using vktest::To;

}  // namespace sendtest

#endif
