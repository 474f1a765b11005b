// Fault injection for tests.  Every file operation of a backend counts as one
// step; a test makes the N-th step from now fail (once, or that one and every
// one after it), runs an operation, and checks that nothing was lost or left
// half-written.  Looping N upward until no fault fires covers every failure
// point of an operation.
//
// The steps, the same on both backends: each call of PlatOpen, PlatClose,
// PlatRead, PlatWrite, PlatSeek, PlatFileSize, PlatTruncate, PlatFlush,
// PlatDeleteFile, PlatRenameNoReplace, PlatGetAttributes, PlatSetAttributes,
// PlatMakeDir, PlatRemoveDir, PlatFindFirst, PlatFindNext (file.h) and of
// PlatGetProfileString, PlatGetProfileInt, PlatWriteProfileString
// (profile.h; a cache flush too).  Not counted: PlatFindClose,
// PlatNativePath, PlatAbsolutePath, PlatLastError, memory, clock and text calls.
//
// A hit fails the operation the way it fails for real, with the last error
// PlatError::kInjected: a handle or count of -1, false, null, kAttrInvalid;
// PlatClose still releases the handle; a profile read delivers the default
// (PlatGetProfileString with a null key: an empty run, 0).
#ifndef VKMSG_PLATFORM_FAULT_H
#define VKMSG_PLATFORM_FAULT_H

namespace vk {

// Arms the hook: the n-th file operation from now (1 = the next) fails with
// PlatError::kInjected; with `persistent` every later one fails too.  n < 1
// disarms.  Arming clears the fired flag.
void PlatFaultArm(long n, bool persistent);
// Disarms the hook (the fired flag stays as it is).
void PlatFaultDisarm();
// Whether an armed fault has fired since it was last armed.
bool PlatFaultFired();
// Called by the backends at the start of every counted operation: true when
// this one must fail.  Lock-free and safe from any thread; costs one atomic
// load while disarmed.
bool PlatFaultHit();

}  // namespace vk

#endif
