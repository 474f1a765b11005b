// Installs a dialog driver written as a lambda for the life of the object,
// and records what a test dialog procedure was sent.
#ifndef VKMSG_TESTS_DIALOGS_DIALOG_TEST_UTIL_H
#define VKMSG_TESTS_DIALOGS_DIALOG_TEST_UTIL_H

#include <functional>
#include <string>
#include <vector>

#include "vkmsg/vkmsg.h"

namespace vktest {

class ScopedDriver {
 public:
  using Fn = std::function<void(VkDialog*)>;
  explicit ScopedDriver(Fn fn) : fn_(std::move(fn)) { vk_set_dialog_driver(&ScopedDriver::Call, this); }
  ~ScopedDriver() { vk_set_dialog_driver(nullptr, nullptr); }
  ScopedDriver(const ScopedDriver&) = delete;
  ScopedDriver& operator=(const ScopedDriver&) = delete;
  int calls() const { return calls_; }

 private:
  static void Call(void* context, VkDialog* d) {
    ScopedDriver* self = static_cast<ScopedDriver*>(context);
    ++self->calls_;
    self->fn_(d);
  }
  Fn fn_;
  int calls_ = 0;
};

// The text of control `id`, or of item `item` of its list.
inline std::string DialogText(VkDialog* d, int id, int item = -1) {
  char buf[512];
  if ((item < 0 ? vk_dialog_get_text(d, id, buf, sizeof buf) : vk_dialog_list_text(d, id, item, buf, sizeof buf)) < 0)
    return "<absent>";
  return buf;
}

}  // namespace vktest

#endif
