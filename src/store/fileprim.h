// File and directory primitives of the mail logic: opening with OpenFile
// style mode bits, byte-count wrappers for reading and writing, directory
// tests, new files under unique names in shared directories, copying file
// contents, and the bounded string operations every path is built with.
//
// Nothing here throws; every operation reports by its result.  Results follow
// one rule: a handle or kNoFile (-1), a byte count with 0 for failure, or 1/0
// for a truth value.
#ifndef VK_STORE_FILEPRIM_H
#define VK_STORE_FILEPRIM_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file.h"
#include "vkmsg/cmc.h"

namespace vk {

// Mode bits of OpenFileMode, in the manner of the platform's OpenFile.
using OpenMode = uint32_t;

constexpr OpenMode kOpenRead = 0x0000;
constexpr OpenMode kOpenWrite = 0x0001;
constexpr OpenMode kOpenReadWrite = 0x0002;
constexpr OpenMode kOpenAccessMask = 0x0003;  // 3: no access

// Sharing: 0x00 and 0x40 let others read and write; 0x10 lets others do
// nothing; 0x20 lets others only read; 0x30 lets others only write; 0x50 to
// 0x70 let others do nothing.
constexpr OpenMode kOpenShareCompat = 0x0000;
constexpr OpenMode kOpenShareExclusive = 0x0010;
constexpr OpenMode kOpenShareDenyWrite = 0x0020;
constexpr OpenMode kOpenShareDenyRead = 0x0030;
constexpr OpenMode kOpenShareDenyNone = 0x0040;
constexpr OpenMode kOpenShareMask = 0x0070;

constexpr OpenMode kOpenNoInherit = 0x0080;
constexpr OpenMode kOpenParse = 0x0100;   // nothing is opened; result 0
constexpr OpenMode kOpenDelete = 0x0200;  // delete the file; result 1 done, 0 failed
constexpr OpenMode kOpenCreate = 0x1000;  // adds write access; opens, or creates when missing; never truncates
constexpr OpenMode kOpenExist = 0x4000;   // open and close at once; result 1 exists, -1 not
constexpr OpenMode kOpenReopen = 0x8000;  // nothing is opened; result 0

// The modes the library uses.
constexpr OpenMode kModeReadShared = kOpenRead | kOpenShareDenyNone;      // 0x0040
constexpr OpenMode kModeReadExclusive = kOpenRead | kOpenShareExclusive;  // 0x0010
constexpr OpenMode kModeCreateReadWrite = kOpenCreate | kOpenReadWrite;   // 0x1002
constexpr OpenMode kModeDelete = kOpenDelete;                             // 0x0200
constexpr OpenMode kModeExist = kOpenExist;                               // 0x4000

// Every path of the library is held in a buffer of this size, terminator
// included; joins that do not fit are cut at kPathMax - 1 characters.
constexpr size_t kPathMax = 128;

// Opens `path` by `mode`.  The result is a handle or kNoFile; with
// kOpenDelete 1 (deleted) or 0 (failed); with kOpenExist 1 (the file exists
// and could be opened with the mode's access and sharing; it is closed again)
// or -1; with kOpenParse or kOpenReopen 0 without touching the file.  A plain
// open needs an existing file; kOpenCreate opens or creates, never truncates.
FileHandle OpenFileMode(const char* path, OpenMode mode);

// 0, or -1 when closing failed (the handle is gone either way).  kNoFile is
// accepted and answers -1.
int CloseFile(FileHandle h);

// Moves the file position: `offset` is the low 32 bits (signed when `high`
// is null), `*high` the high 32 bits and receives the new position's high
// bits; origin 0 start, 1 current, 2 end.  The new position's low 32 bits, or
// 0xFFFFFFFF on failure.
uint32_t SeekFile(FileHandle h, int32_t offset, int32_t* high, int origin);

// Bytes read; 0 on failure or at end (the two are not told apart).
uint32_t ReadFileBytes(FileHandle h, void* buffer, uint32_t count);

// Bytes written; 0 on failure.
uint32_t WriteFileBytes(FileHandle h, const void* buffer, uint32_t count);

// Size in bytes of an open disk file, 0xFFFFFFFF on failure.
uint32_t FileSize(FileHandle h);

// 1 when the file now ends at `length` and the position is unchanged, else 0.
int TruncateFile(FileHandle h, uint32_t length);

// Forces written data out; nonzero on success.
int FlushFile(FileHandle h);

// Gives the file the hidden attribute and no other; nonzero on success.
int SetHidden(const char* path);

// 1 when `path` names an existing directory, with or without one trailing
// separator; 0 for anything else, a plain file or a path of 261 characters
// or more.
int DirExists(const char* path);

// Creates one directory level (the parent must exist).  1 when the directory
// exists afterwards (also when it existed before), 0 otherwise or for an
// empty path.  A trailing separator is allowed; the caller's text is left as
// it was.
int MakeDir(const char* path);

// Removes one empty directory, with or without a trailing separator.  1 when
// it was removed.
int RemoveDir(const char* path);

// Creates a new file under a name never used before in `dir`: the first
// three or more characters of `prefix` (at least 3 are taken, the prefix
// must be that long) followed by four lowercase hexadecimal digits.  `out`
// (of `size` bytes) receives dir + separator + prefix + digits + ".", the dot
// standing for the empty extension (the stored file has none; the path with
// the dot opens the same file).  A candidate is taken when a file of that
// name exists or when its read twin (the name + ".red") exists, so a message
// name is never reused while its read copy lies there.  The file is created
// only if new, while the guard directory name + ".new" holds the name
// against writers on other workstations, open for reading and writing,
// others allowed to read and write.  The handle, or kNoFile when the path does not fit (nothing is
// touched then), the directory is unusable, or every candidate is taken.
FileHandle UniqueFile(const char* dir, const char* prefix, char* out, size_t size);

// UniqueFile with the prefix "KWZ".
FileHandle UniqueFileDefault(const char* dir, char* out, size_t size);

// Claims a message name in a mailbox: makes the claim directory
// "KWZxxxx.tmp" in `dir` for a name "KWZxxxx" that exists neither itself
// nor as its read twin, and creates the message file "KWZxxxx" in it, open
// for reading and writing and not inherited; `out` receives the file's path.
// A directory is made only if new by the server for every client, which a
// file is not (smbnetfs opens an existing file when two clients create one
// at once), so the holder of the claim holds the message name: a message
// reaches a mailbox only by PublishClaim, and writers on several
// workstations never pick the same message name, even where the file
// system cannot refuse a rename onto an existing name (an SMB share).
// Listings pass over the claims.
FileHandle ClaimMessageName(const char* dir, char* out, size_t size);
// Gives the closed message file of a claim its message name and lets the
// claim go.  false when the rename failed (the claim stays as it was).
bool PublishClaim(const char* path);
// Deletes the message file of a claim and lets the claim go; true when the
// claim is gone.
bool ReleaseMessageClaim(const char* path);

constexpr const char* kUniquePrefix = "KWZ";
constexpr const char* kClaimExt = ".tmp";
// The guard directory that holds a UniqueFile name while its file is made.
constexpr const char* kGuardExt = ".new";
// "KWZ" and four digits.
constexpr size_t kUniqueNameLength = 7;
// What a claimed message file's path needs past its mailbox directory:
// "KWZxxxx.tmp", a separator, "KWZxxxx" and the terminator.
constexpr size_t kClaimPathRoom =
    kUniqueNameLength + std::char_traits<char>::length(kClaimExt) + 1 + kUniqueNameLength + 1;
// How many names UniqueFile and ClaimMessageName try at most: every one of
// the four digits' values, each once, so that a directory with one name
// left still yields it.
constexpr uint32_t kUniqueCandidates = 65536;

// Copies everything of `src` (from its start) over the start of `dst` (the
// destination is not truncated first).  The byte count (>= 0), or -1 when the
// source could not be positioned or read, -2 when the destination could not
// be positioned or written, -3 when no work buffer could be had.  What was
// written before a failure stays in the destination.
int64_t CopyFileContents(FileHandle src, FileHandle dst);

// Copies at most size - 1 characters of `src`, zero-fills the rest of the
// first size - 1 bytes and terminates at dst[size - 1].  `dst`, or null when
// any argument is null or size is 0 (nothing is written then).
char* CopyBounded(char* dst, const char* src, size_t size);

// Appends as much of `src` as fits so that `dst` holds at most size - 1
// characters, terminated.  `dst` (unchanged when any argument is null or
// size is 0).
char* AppendBounded(char* dst, const char* src, size_t size);

// Byte-wise, case-sensitive comparison of at most `count` characters: 0
// equal, negative, positive.  Null sorts before any string; two nulls are
// equal.
int CompareBounded(const char* a, const char* b, size_t count);

// Leading white space skipped, then at most min(strlen(s), 10) characters
// examined: a minus sign first makes the value negative, digits accumulate,
// anything else ends the number.  Null gives 0.  Values beyond 32 bits wrap.
int32_t ParseDecimal(const char* s);

// Writes `value` in "%ld" form into `buffer`, which must hold 12 bytes.
// Returns `buffer`.
char* FormatDecimal(int32_t value, char* buffer);

// The first element of `extensions` with `item_code`, or null; the walk
// stops after the element flagged CMC_EXT_LAST_ELEMENT.  A null array gives
// null.
CMC_extension* FindExtension(CMC_extension* extensions, CMC_uint32 item_code);

}  // namespace vk

#endif
