// Files and directories of the platform.  Every file operation of the library
// goes through these calls; the mail logic above them never touches the
// operating system.  Both backends (posix/file_posix.cc, win32/file_win32.cc)
// implement the same contracts, written here.
//
// Paths are 8-bit text.  The mail logic builds them with kPathSep; the POSIX
// backend also accepts a backslash as a separator.  On POSIX, a path that does
// not exist with its exact spelling is matched component by component without
// regard to case (a mail tree also lives on Windows file systems, where
// USERS\ANN and USERS\ann are one directory), and a final component ending
// in a single period (the empty extension) names the file without it.
#ifndef VKMSG_PLATFORM_FILE_H
#define VKMSG_PLATFORM_FILE_H

#include <cstddef>
#include <cstdint>

namespace vk {

#if defined(_WIN32)
constexpr char kPathSep = '\\';
#define VK_SEP "\\"
#else
constexpr char kPathSep = '/';
#define VK_SEP "/"
#endif

// A file handle; kNoFile means none.
using FileHandle = intptr_t;
constexpr FileHandle kNoFile = -1;

// Why the last failing call of this thread failed, mapped from the
// operating system's error in one place per backend.
enum class PlatError {
  kOk = 0,
  kNotFound,          // no such file or directory (also a missing parent)
  kExists,            // the name is taken (create-new, no-replace rename, mkdir)
  kAccessDenied,      // permissions, read-only medium, or a directory where a file was expected
  kSharingViolation,  // another opener's sharing mode refuses this open
  kDiskFull,
  kNotEmpty,  // removing a directory that still holds entries
  kInjected,  // a fault made by the test hook (fault.h)
  kOther,
};
PlatError PlatLastError();
const char* PlatErrorName(PlatError e);

enum PlatAccess : unsigned {
  kAccessNone = 0,
  kAccessRead = 1,
  kAccessWrite = 2,
  kAccessReadWrite = 3,
};

// What other openers may do while this handle is open.
enum class ShareMode {
  kReadWrite,  // others may read and write
  kRead,       // others may only read
  kWrite,      // others may only write
  kNone,       // exclusive
};

enum class Disposition {
  kOpenExisting,  // fail when missing
  kOpenAlways,    // open, or create when missing; never truncates
  kCreateNew,     // create only if no file of that name exists (kExists otherwise)
  kCreateAlways,  // create or truncate
};

// Opens or creates a file.  A sharing refusal fails with kSharingViolation
// (both backends retry a few times first: another workstation's antivirus or
// indexer may hold the file briefly).  `inherit` is whether child processes
// inherit the handle.  A directory is never opened (kAccessDenied), nor a
// read-only file for writing (kAccessDenied, even for root on POSIX).
// kCreateAlways truncates only once the sharing check has passed.
//
// POSIX emulates the sharing modes with byte-range locks (open file
// description locks) far past the end of the file.  Honoured: every
// combination of access and sharing between handles of this library, in any
// process or thread, on a file system with POSIX locks.  Not honoured: other
// programs, which take no such locks; deleting or renaming an open file
// (POSIX allows it, Windows refuses); a write-only handle opens for reading
// and writing when it can, so that it can carry its locks.
FileHandle PlatOpen(const char* path, unsigned access, ShareMode share, Disposition disposition, bool inherit = false);
// 0 on success, -1 when closing failed.  The handle is gone either way.
int PlatClose(FileHandle h);
// Reads up to `count` bytes; the number read (0 at end of file), -1 on error.
long PlatRead(FileHandle h, void* buffer, unsigned long count);
// Writes `count` bytes; the number written, -1 on error.
long PlatWrite(FileHandle h, const void* buffer, unsigned long count);
// Moves the file position; origin 0 start, 1 current, 2 end.  The new
// position, or -1 on failure.
int64_t PlatSeek(FileHandle h, int64_t offset, int origin);
// Size of the open file, -1 on failure.
int64_t PlatFileSize(FileHandle h);

// What tells a file from one that later took its name: two stamps that are
// equal (operator==) were taken of the same file, unchanged.  POSIX: device,
// inode, size, and modification and change times (a rename changes the
// latter); Win32: size, and creation and last-write times.
struct FileStamp {
  uint64_t id;
  uint64_t size;
  int64_t written;
  int64_t changed;
  bool operator==(const FileStamp& o) const {
    return id == o.id && size == o.size && written == o.written && changed == o.changed;
  }
};
// The stamp of an open file; false on failure.
bool PlatStampOf(FileHandle h, FileStamp* stamp);
// The stamp of the plain file `path` names as it is spelled (on POSIX no
// other case is tried); false when there is none, or when it is a
// directory, link, pipe or device.
bool PlatStampOfPath(const char* path, FileStamp* stamp);

// A directory held so that the files in it can be reached by name alone:
// the walk down the directory's own path is made once, not for every file.
// POSIX holds the directory itself, which a deletion leaves without names:
// nothing is found through a directory deleted meanwhile, even when another
// took its path.  Win32 holds its path.
using HeldDir = void*;
// Null when `path` is no directory, or on failure.
HeldDir PlatHoldDir(const char* path);
// Null is allowed.
void PlatReleaseDir(HeldDir dir);
// PlatOpen of the file `name` (a name without directory) of `dir`, for
// reading, kOpenExisting, not inherited.  A name the held directory does not
// have is looked up by path, as PlatOpen does (another spelling, or a
// directory made again at the path).  Only a plain file is opened: a pipe
// or device, and on POSIX a link, fails with kAccessDenied.  With `stamp`
// (may be null) the open file's stamp too: the open fails when that cannot
// be had.
FileHandle PlatOpenIn(HeldDir dir, const char* name, ShareMode share, FileStamp* stamp);
// PlatStampOfPath of the file `name` of `dir`, spelled so, in the held
// directory only.
bool PlatStampIn(HeldDir dir, const char* name, FileStamp* stamp);
// The stamp of the held directory itself, for telling that none of its
// names has come, gone or moved since: it differs after any entry is made,
// removed or renamed there, and after the directory is removed.  false when
// that cannot be vouched for, and then each name must be looked at by
// itself.  POSIX vouches only where the file system keeps times finer than
// a second and the directory's entries last changed over a second before
// the look, so that a change within the same tick of the clock cannot leave
// the time as it was; Win32 never vouches.
bool PlatStampOfDir(HeldDir dir, FileStamp* stamp);
// Makes the file end at `length` (cutting or extending with zeros); the file
// position is unchanged.  true on success.
bool PlatTruncate(FileHandle h, int64_t length);
// Forces written data to the storage.  true on success.
bool PlatFlush(FileHandle h);
// Starts writing the file's data to the storage without waiting for it, so
// that a PlatFlush of this file made later, after other work, finds less
// to do (POSIX: writeback begun with sync_file_range; Win32: nothing).
// Only a hint: it never fails, makes nothing durable, and is no fault step.
void PlatStartFlush(FileHandle h);

// Which side of a PlatCopyContents failed.
enum class CopyFailure {
  kNone,
  kRead,    // the source could not be read
  kWrite,   // the destination could not be written (disk full, short write)
  kMemory,  // no buffer for a copy through memory
};
// Copies the rest of `src`, from its position to its end, into `dst` at its
// position, and leaves both positions after what was copied; `dst` keeps
// whatever lies past the copied bytes.  The platform's fastest way: POSIX
// copy_file_range in chunks of 16 MiB, the file system's own copy (a reflink
// where it has them), falling back to reading and writing through a 1 MiB
// buffer where it cannot (another file system, FUSE and SMB mounts); Win32
// ReadFile and WriteFile through a 1 MiB buffer.  Nothing is flushed.  The
// number of bytes copied (0 when `src` stood at its end), or -1 with the last
// error set and *failed (when not null) telling which side failed; what was
// written before the failure stays.  For the fault hook every chunk is two
// steps, its read and then its write, and a chunk through memory is the
// PlatRead and PlatWrite it makes: a short write puts down half the chunk
// and fails the copy; the buffer is a memory step.
int64_t PlatCopyContents(FileHandle src, FileHandle dst, CopyFailure* failed);

// Deleting or renaming a file that another opener holds (always on Windows,
// on an SMB share also on POSIX) is retried briefly, as for a sharing
// refusal at open, then fails with kSharingViolation.
//
// Deletes a file; a directory or a read-only file is refused (kAccessDenied).
bool PlatDeleteFile(const char* path);
// Renames a file or directory; never replaces an existing target (kExists).
// A target that names the source itself in another case changes the spelling.
// Where the file system offers no atomic no-replace rename (POSIX on an SMB
// share: neither the no-replace flag nor hard links), the target is tested
// and then renamed to, so a target that another writer creates in between
// is replaced: callers that may race for one target claim it first.
bool PlatRenameNoReplace(const char* from, const char* to);

// Attribute bits, as the Windows file system reports them.
constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrHidden = 0x02;
constexpr uint32_t kAttrSystem = 0x04;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrArchive = 0x20;
constexpr uint32_t kAttrNormal = 0x80;
constexpr uint32_t kAttrDevice = 0x40;         // a pipe, socket or device: no file to open
constexpr uint32_t kAttrReparsePoint = 0x400;  // a symbolic link (or junction)
constexpr uint32_t kAttrInvalid = 0xFFFFFFFFu;

// The path's attributes, kAttrInvalid when it does not exist.  On POSIX a
// name beginning with a period counts as hidden, a directory as
// kAttrDirectory, a file without write permission as read-only, any other
// file as kAttrNormal.
uint32_t PlatGetAttributes(const char* path);
// Sets the attributes of an existing file (kAttrNormal alone clears them).
// POSIX has no hidden attribute to store: there, hidden and system are
// accepted and have no effect, and read-only maps to the write permission.
bool PlatSetAttributes(const char* path, uint32_t attributes);

// How long ago a file or directory was last written, in seconds, by this
// machine's clock against the time the file system stored (on a share, the
// server's: a skewed clock makes it off by the skew, and a time ahead of
// ours gives a negative age).  false when the path does not exist.
bool PlatFileAge(const char* path, int64_t* seconds);

// Creates one directory level (the parent must exist).
bool PlatMakeDir(const char* path);
// Removes one empty directory.
bool PlatRemoveDir(const char* path);

// Whether the file system takes two names that differ only in case for the
// same file (Win32).  Where it does not, they are two files.
#if defined(_WIN32)
constexpr bool kNamesFoldCase = true;
#else
constexpr bool kNamesFoldCase = false;
#endif

// One entry of a directory search.  A symbolic link is reported with
// kAttrReparsePoint, a pipe, socket or device with kAttrDevice.  On POSIX a
// search tells the kind and hidden only, as the directory knows them;
// read-only is PlatGetAttributes's to tell.
struct DirEntry {
  char long_name[260];
  char short_name[14];  // the 8.3 alias when the file system has one, else empty
  uint32_t attributes;
};
using SearchHandle = void*;
// Starts a search for `pattern`, a directory followed by a file pattern with
// the wildcards * and ? ("*.*" matches every name, also one without a
// period).  Names match the pattern without regard to case.  The entries "."
// and ".." are never delivered.  Null when nothing matches (or on error).
SearchHandle PlatFindFirst(const char* pattern, DirEntry* entry);
// Next entry; false at the end.
bool PlatFindNext(SearchHandle search, DirEntry* entry);
void PlatFindClose(SearchHandle search);

// The spelling of an existing path as the file system stores it (POSIX: the
// case-insensitive match of every component; Win32: the path as given).  The
// part that does not exist is kept as given.  Returns `out`.
char* PlatNativePath(const char* path, char* out, size_t size);

// The absolute form of `path`: a relative one is taken from the current
// directory, and "." and ".." components are resolved in the text (nothing
// is looked up).  false, with `out` empty, when the path is empty or the
// result does not fit in `size`.
bool PlatAbsolutePath(const char* path, char* out, size_t size);

}  // namespace vk

#endif
