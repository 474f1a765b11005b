// The module entry: what happens once when the library is loaded into a
// process.  DllMain calls ModuleAttach on Windows; elsewhere a load-time
// constructor does, and every entry point calls it again lazily so that a
// program linking the static library gets the same start-up.
#ifndef VK_CMC_MODULE_H
#define VK_CMC_MODULE_H

namespace vk {

// Idempotent: the first call keeps the module handle (may be null on POSIX),
// marks the select-users dialog as not yet placed, creates the session pool
// and fills the message writer's handler table.
void ModuleAttach(void* module_handle);

// The handle kept by ModuleAttach (dialog templates and string resources).
void* ModuleHandle();

}  // namespace vk

#endif
