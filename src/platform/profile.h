// Profiles: the workstation profile (WIN.INI) and private profile files
// (INI files such as the mail tree's passwd file), with the semantics of the
// Windows profile calls on both backends:
// - section and key names compare without regard to case;
// - a read with a null key delivers all key names of the section as a run of
//   zero-terminated names ended by an empty one, and answers the number of
//   characters copied (without the final zero); when the run does not fit it
//   is cut to size - 2 characters, ends in two zeros and answers size - 2;
// - a read with a null section delivers the section names the same way;
// - a value read answers its length; one that does not fit is cut to size - 1
//   characters and answers size - 1; a missing key delivers the default;
//   values lose surrounding blanks and one pair of enclosing quotes;
// - a write with a null value deletes the key, with a null key the section;
// - a write with section, key and value all null flushes the cache, so the
//   next read sees what other workstations wrote;
// - a write whose section, key or value holds a line break, whose key holds
//   '=' or whose section name holds ']' is refused (false): it would plant
//   other keys in the file (a user name "x\r\nadmin=..." in passwd).
//
// The POSIX workstation profile is the file named by VKMSG_WININI, else
// $XDG_CONFIG_HOME/vkmsg/win.ini, else ~/.config/vkmsg/win.ini.  POSIX writes
// are read-modify-write under a lock beside the profile (the directory
// "<file>.lck", honoured between workstations on a network share) and replace the file
// atomically (temporary file, then rename), so no writer loses another's
// keys and a crash leaves the old file or the new one.  A write that cannot
// have the lock within some 15 seconds, or whose rename a share keeps
// refusing because another workstation holds the file open, changes nothing
// and answers false (kSharingViolation).  Every POSIX read goes to the file,
// so a flush has nothing to discard.  POSIX writes keep the other lines in
// their order, append a new key after the last line of its section and a new
// section (after an empty line) at the end, and end lines in CR LF
// as Windows does; LF alone is accepted on reading.  The file name is
// matched without regard to case like every path (file.h); the directory of
// the workstation profile is created on its first write.
#ifndef VKMSG_PLATFORM_PROFILE_H
#define VKMSG_PLATFORM_PROFILE_H

namespace vk {

// `file` null means the workstation profile.
int PlatGetProfileString(const char* file, const char* section, const char* key, const char* def, char* out, int size);
// The value read as a decimal integer (leading digits, optional sign), the
// default when the key is missing or empty, 0 when it does not start with a
// number.
int PlatGetProfileInt(const char* file, const char* section, const char* key, int def);
// true on success.
bool PlatWriteProfileString(const char* file, const char* section, const char* key, const char* value);

// For tests and tools: a private profile file stands in for the workstation
// profile (both backends) until called again with null.  The POSIX backend's
// VKMSG_WININI lookup applies only while no stand-in is set.
void PlatSetWorkstationProfile(const char* path);

}  // namespace vk

#endif
