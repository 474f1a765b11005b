// Fault injection for tests.  Every file operation of a backend counts as one
// step; a test makes the N-th step from now fail (once, or that one and every
// one after it), runs an operation, and checks that nothing was lost or left
// half-written.  Looping N upward until no fault fires covers every failure
// point of an operation.
#ifndef VKMSG_PLATFORM_FAULT_H
#define VKMSG_PLATFORM_FAULT_H

namespace vk {

// Arms the hook: the n-th file operation from now (1 = the next) fails with
// PlatError::kInjected; with `persistent` every later one fails too.
void PlatFaultArm(long n, bool persistent);
// Disarms the hook.
void PlatFaultDisarm();
// Whether an armed fault has fired since it was armed.
bool PlatFaultFired();
// Called by the backends at the start of every file operation: true when this
// one must fail.
bool PlatFaultHit();

}  // namespace vk

#endif
