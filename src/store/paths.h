// The mail tree's layout and the small path operations: trailing
// separators, read marks, absolute and canonical directories, file-name
// parts, and scanning the plain files of a directory.
//
// The tree below a root the user chooses:
//   MHS/MAIL/                      the mail directory; every path starts here
//   MHS/MAIL/PUBLIC/passwd         user registry and server keys (hidden)
//   MHS/MAIL/USERS/<name>/MHS/     a user's mailbox
//   MHS/MAIL/USERS/<name>/IPARCEL/ parcels delivered to the user
//   MHS/MAIL/USERS/<name>/local.ab the user's local address book
//   MHS/MAIL/SND/                  staged messages being sent
//   MHS/MAIL/PARCEL/               staged parcels being sent
// Every path is held in kPathMax (128) bytes and built with CopyBounded and
// AppendBounded; a stored directory path always ends in a separator.
#ifndef VK_STORE_PATHS_H
#define VK_STORE_PATHS_H

#include <cstddef>

#include "platform/file.h"
#include "store/fileprim.h"
#include "vkmsg/vkmsg.h"

namespace vk {

// Names in the tree (directories with their trailing separator).
#define VK_MHS_MAIL "MHS" VK_SEP "MAIL" VK_SEP
constexpr const char* kMhsDir = "MHS" VK_SEP;
constexpr const char* kMhsMailDir = VK_MHS_MAIL;  // below the root
constexpr const char* kPublicDir = "PUBLIC" VK_SEP;
constexpr const char* kPasswdRel = "PUBLIC" VK_SEP "passwd";  // below the mail directory
constexpr const char* kUsersDir = "USERS" VK_SEP;
constexpr const char* kSndDir = "SND" VK_SEP;
constexpr const char* kParcelDir = "PARCEL" VK_SEP;
constexpr const char* kUserMailboxDir = "MHS" VK_SEP;     // below USERS/<name>/
constexpr const char* kUserParcelDir = "IPARCEL" VK_SEP;  // below USERS/<name>/
constexpr const char* kLocalAddressBook = "local.ab";     // below USERS/<name>/
constexpr const char* kReadMarkExt = ".red";

// Whether `c` separates path components: kPathSep, or a backslash anywhere.
bool IsPathSep(char c);
// Whether `base` with `rel` appended still fits in kPathMax, uncut.
bool PathFits(const char* base, const char* rel);
// `dir` + `name` into out (kPathMax bytes); false when either is null or it
// does not fit whole, so that a cut path never names another file.
bool JoinPath(char* out, const char* dir, const char* name);

// Appends a separator unless `path` is null, empty or already ends in one.
// The buffer must have room for one more character.  Returns `path`.
char* AddSlash(char* path);
// Removes one trailing separator, if any.  Returns `path`.
char* StripSlash(char* path);

// Opens the message file `path` by `mode`; when that fails and the name does
// not carry the read mark, appends ".red" in place and tries again.  The
// buffer needs room for 4 more characters (it is kPathMax bytes in the
// library) and holds the name tried last.  Handle or kNoFile.
FileHandle OpenMessageFile(char* path, OpenMode mode);

// 1 when `path` ends in the read mark ".red" (any case), else 0.
int HasReadMark(const char* path);

// The plain files of `dir` matching `pattern` (null: "*.*"), hidden, system
// and directory entries left out, in the order the file system delivers
// them, each by its short 8.3 name when it has one, else its long name.
// With `resume`, the list starts at the first entry of that name (any case).
// Null when the directory is null or empty, nothing matches, `resume`
// matches no entry, the directory cannot be read, or memory runs out.  The caller frees the list with the
// name-list release.
NameList* ListFiles(const char* dir, const char* pattern, const char* resume);

// Called for each file a scan finds, with its name (the short 8.3 name when
// it has one, else the long name) and its entry; false stops the scan.
using FileVisitor = bool (*)(void* context, const char* name, const DirEntry& entry);
// Hands the plain files of `dir` matching `pattern` (null: "*.*") to
// `visit`, as ListFiles sees them.  false, visiting nothing, when the
// directory is null or empty or the search path would not fit; false too
// when the directory cannot be read, at its start or part-way (what was
// visited until then was not the whole directory); true otherwise, also
// when nothing matched or `visit` stopped the scan.
bool ScanFiles(const char* dir, const char* pattern, FileVisitor visit, void* context);

// Makes a directory path (kPathMax buffer) absolute, spelled as the file
// system stores it, with a trailing separator: a path relative to whatever
// the current directory happens to be would send every later join somewhere
// else.  false, leaving the buffer as it was, when that cannot be had within
// kPathMax.
bool CanonicalDir(char* dir);

// Whether a path is absolute: from the root on POSIX, with a drive or a
// \\server\share start on Win32.  Null and empty are not.
bool IsAbsolutePath(const char* path);

// The file-name part of a path: what follows its last separator ('/' or
// '\\') or drive colon.
const char* FileNamePart(const char* path);

}  // namespace vk

#endif
