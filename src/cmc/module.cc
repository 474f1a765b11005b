// The module entry: what the library sets up once per process.
#include "cmc/module.h"

#include <cstring>

#include "cmc/session.h"
#include "send/smf_writer.h"

namespace vk {

namespace {

constexpr uint32_t kSessionPoolInitial = 1024;

bool g_attached = false;
void* g_module_handle = nullptr;

}  // namespace

void ModuleAttach(void* module_handle) {
  if (g_attached) {
    // DllMain may come after a lazy attach made by a load-time constructor
    // or a first call; the handle is what it adds.
    if (module_handle != nullptr && g_module_handle == nullptr) g_module_handle = module_handle;
    return;
  }
  g_attached = true;
  g_module_handle = module_handle;
  g_session.dialog_left = -1;
  g_session.dialog_top = -1;
  std::memset(&g_session.pool, 0, sizeof g_session.pool);
  PoolInit(&g_session.pool, kSessionPoolInitial);
  InitSmfHandlers();
}

void* ModuleHandle() { return g_module_handle; }

#if !defined(_WIN32)
namespace {
// A shared object has no DllMain; attach when it is loaded.
__attribute__((constructor)) void AttachAtLoad() { ModuleAttach(nullptr); }
}  // namespace
#endif

}  // namespace vk
