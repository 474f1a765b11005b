// The buffered reader of message files and the in-file block move.
//
// Message files lie on a network drive and are read header line by header
// line; a BufferedFile keeps a window of the file in memory and serves lines,
// byte runs and seeks from it, touching the file only when the window must
// be refilled.  MoveWithin shifts a run of bytes inside one file in large
// chunks (used to close or open a gap before a file is cut or extended).
//
// Read failures look like end of file: the readers simply deliver fewer
// bytes.  Nothing here throws.
#ifndef VK_STORE_BUFREAD_H
#define VK_STORE_BUFREAD_H

#include <cstdint>

#include "platform/file.h"
#include "platform/memory.h"
#include "store/fileprim.h"

namespace vk {

// The window size every reader of message files uses.
constexpr uint32_t kBufferedCapacity = 4096;

// One allocation: this record, directly followed by `capacity` bytes of
// buffer (see BufferedBytes).  The buffer holds only what was read.
// Invariants: index <= fill <= capacity, and the file's own position is
// always position + fill (the byte after the window).
struct BufferedFile {
  GlobalHandle memory;  // the allocation itself, released at close
  FileHandle file;      // the open file
  uint32_t position;    // file offset of the buffer's first byte
  uint32_t index;       // offset within the buffer of the next unread byte
  uint32_t fill;        // number of valid bytes in the buffer
  uint32_t capacity;    // size of the buffer in bytes
  uint32_t dirty;       // writing through the buffer is not used: always 0
  uint32_t end;         // the file's size once a read has met its end, else kEndUnknown
};

// `end` before any read has met the end of the file.
constexpr uint32_t kEndUnknown = 0xFFFFFFFFu;

// The window's bytes (they follow the record in the same allocation).
inline unsigned char* BufferedBytes(BufferedFile* f) {
  return reinterpret_cast<unsigned char*>(f) + sizeof(BufferedFile);
}

// The absolute file offset of the next unread byte (position + index).
// 0 for a null reader.
inline uint32_t BufferedTell(const BufferedFile* f) { return f ? f->position + f->index : 0; }

// Wraps an open handle: seeks it to 0 and reads the first window.  Null when
// h is kNoFile, capacity is 0, the seek fails, nothing could be read (an
// empty file cannot be opened this way) or memory fails.  The handle is
// never closed here: on null it still belongs to the caller; on success it
// belongs to the reader until CloseBuffered (or ReleaseBuffered).
BufferedFile* OpenBuffered(FileHandle h, uint32_t capacity);

// OpenBuffered for a handle just opened, which stands at 0 already: the same
// without the seek.  With the file's `size`, when the caller has it, no read
// goes past it only to find the end.
BufferedFile* OpenFreshBuffered(FileHandle h, uint32_t capacity, uint32_t size = kEndUnknown);

// OpenFileMode(path, mode), then OpenBuffered.  When the file opens but the
// reader cannot be made (empty file, no memory) the file is closed again and
// the result is null.
BufferedFile* OpenPathBuffered(const char* path, OpenMode mode, uint32_t capacity);

// Copies up to n bytes from the current read position to dst, refilling the
// window as needed.  The number of bytes delivered: less than n at end of
// file, 0 for a null reader or dst or n = 0.
uint32_t ReadBuffered(BufferedFile* f, void* dst, uint32_t n);

// Reads one line: copies up to `size` characters up to the next CR or LF,
// with a terminator after them when fewer than `size` were copied, and
// moves past the line end (CR LF, a lone CR and a lone LF each end a line;
// CR LF counts once, also when the two bytes lie on either side of the
// window's edge).  The line end is
// not copied.  A line longer than `size` comes in pieces of `size`
// characters.  No terminator is written beyond the first `size` bytes, so
// dst must hold size + 1 bytes when a full piece is to be read as a string
// (callers pass 96 for a 100-byte buffer).  The result is the number of
// characters copied: 0 for an empty line, at end of file, or for a null
// reader or dst or size 0 (which read nothing).  With `cut`, *cut tells
// whether the piece ended before its line did (more of it follows).
uint32_t ReadLine(BufferedFile* f, char* dst, uint32_t size, bool* cut = nullptr);

// Positions the read cursor at the absolute `offset`.  Inside the window
// (position <= offset < position + fill) only the cursor moves, so going
// back to the start of a file read once costs no read; otherwise the
// window is re-read from the file at `offset`.  0, or -1 when nothing can be
// read there (the reader then stands at `offset` with an empty window, so
// BufferedTell answers `offset` and later reads deliver nothing) or when the
// file cannot be positioned (the reader is left as it was), or for a null
// reader.
int SeekBuffered(BufferedFile* f, uint32_t offset);

// Closes the file and releases the record, whether or not the close
// succeeded.  The result is that of the close (0, or -1), and -1 for null.
int CloseBuffered(BufferedFile* f);

// The next unread byte, without moving past it (the window is refilled
// when it is used up); -1 at the end of the file or for a null reader.
int PeekBuffered(BufferedFile* f);

// Releases the record without closing its file: for readers made over a
// handle that the caller keeps.  Null is allowed.
void ReleaseBuffered(BufferedFile* f);

// Whether the window holds the whole file, from its first byte to its end.
bool HoldsWholeFile(const BufferedFile* f);

// Closes the file and keeps the window: its bytes can still be read and
// sought within, and nothing more comes from the file (file is kNoFile
// from then on; CloseBuffered only releases the record).  The result is
// that of the close; -1 for null.
int DetachBuffered(BufferedFile* f);

// Copies `len` bytes inside the file from srcOff to dstOff, correctly for
// overlapping ranges (backwards when srcOff < dstOff < srcOff + len), in
// chunks of up to 32768 bytes (halved while memory is short, never below
// 257 bytes; a move shorter than that uses one chunk of its own length).  A
// destination past the end extends the file.  1 done (also for len 0 or equal
// offsets), 0 when memory fails or at the first failed seek, short read or
// short write; the bytes already moved stay moved.  The file position is
// undefined afterwards.
int MoveWithin(FileHandle h, uint32_t dstOff, uint32_t srcOff, uint32_t len);

// The size of the open file in bytes (FileSize), 0xFFFFFFFF on failure.
uint32_t FileSizeOf(FileHandle h);

}  // namespace vk

#endif
