// Fault injection for tests.  Every file operation of a backend counts as one
// step; a test makes the N-th step from now fail (once, or that one and every
// one after it), runs an operation, and checks that nothing was lost or left
// half-written.  Looping N upward until no fault fires covers every failure
// point of an operation.
//
// The steps, the same on both backends: each call of PlatOpen, PlatClose,
// PlatRead, PlatWrite, PlatSeek, PlatFileSize, PlatTruncate, PlatFlush,
// PlatDeleteFile, PlatRenameNoReplace, PlatGetAttributes, PlatSetAttributes,
// PlatMakeDir, PlatRemoveDir, PlatFindFirst, PlatFindNext (file.h), each
// chunk of PlatCopyContents as a read step and a write step, and each call
// of PlatGetProfileString, PlatGetProfileInt, PlatWriteProfileString
// (profile.h; a cache flush too).  Not counted: PlatFindClose,
// PlatStartFlush, PlatNativePath, PlatAbsolutePath, PlatLastError, clock
// and text calls.
//
// A hit fails the operation the way it fails for real, in the manner the
// fault was armed with (see PlatFaultKind): a handle or count of -1, false,
// null, kAttrInvalid; PlatClose still releases the handle; a profile read
// delivers the default (PlatGetProfileString with a null key: an empty run,
// 0).
//
// A fault of kind kNoMemory counts memory steps instead of file steps:
// PlatGlobalAlloc, PlatReserve, PlatCommit, and every C++ allocation of a
// program that routes its operator new through PlatFaultMemoryHit (the tests
// do; the library itself never replaces operator new).
#ifndef VKMSG_PLATFORM_FAULT_H
#define VKMSG_PLATFORM_FAULT_H

namespace vk {

// How a hit fails.  Each names the last error the operation leaves.
enum class PlatFaultKind {
  kIoError,     // kInjected: the device failed (write, flush, close, anything)
  kShortWrite,  // a write puts down half its bytes and reports that count;
                // other operations fail as kIoError
  kDiskFull,    // kDiskFull
  kSharing,     // kSharingViolation: another opener holds the file
  kNoMemory,    // a memory step answers null (C++: std::bad_alloc)
};

// Arms the hook: the n-th step from now (1 = the next) fails as `kind`
// says; with `persistent` every later one fails too.  n < 1 disarms.
// Arming clears the fired flag.
void PlatFaultArm(long n, bool persistent, PlatFaultKind kind = PlatFaultKind::kIoError);
// Disarms the hook (the fired flag stays as it is).
void PlatFaultDisarm();
// Whether an armed fault has fired since it was last armed.
bool PlatFaultFired();
// The kind the hook was last armed with.
PlatFaultKind PlatFaultArmedKind();
// Called by the backends at the start of every counted file operation: true
// when this one must fail.  Lock-free and safe from any thread; costs one
// atomic load while disarmed.
bool PlatFaultHit();
// The same for a memory step: true when this allocation must fail.
bool PlatFaultMemoryHit();

// Test support for crash points: once set, the process ends at once (as if
// killed) at the start of its n-th counted file step from now.  n < 1 clears.
void PlatFaultExitAt(long n);
// Counted file steps since the process started (or since the counter was
// last cleared by PlatFaultExitAt).
long PlatFaultSteps();

}  // namespace vk

#endif
