#include "store/bufread.h"

#include <cstring>

namespace vk {

namespace {

constexpr uint32_t kMoveChunk = 32768;
constexpr uint32_t kMoveChunkMin = 257;
constexpr unsigned char kCr = 13;
constexpr unsigned char kLf = 10;

uint32_t Unread(const BufferedFile* f) { return f->fill - f->index; }

// Reads up to `want` bytes at `at` in the window and returns how many came.
// A read that came back short without an error met the end of the file, so
// the size is known from then on (the readers' sharing lock keeps writers
// out meanwhile) and a body can be sized without asking the file again.
uint32_t FillFrom(BufferedFile* f, unsigned char* at, uint32_t want) {
  const long n = PlatRead(f->file, at, want);
  const uint32_t got = n > 0 ? static_cast<uint32_t>(n) : 0;
  if (n >= 0 && got < want) f->end = f->position + static_cast<uint32_t>(at - BufferedBytes(f)) + got;
  return got;
}

// Keeps the unread bytes, moves them to the buffer's start and tops the
// window up from the file (whose position is always just past the window).
void Refill(BufferedFile* f) {
  // A window that reaches the end of the file has nothing to gain, and one
  // without its file (DetachBuffered) must stay where it is.
  if (f->file == kNoFile || (f->end != kEndUnknown && f->position + f->fill >= f->end)) return;
  unsigned char* buf = BufferedBytes(f);
  if (f->index < f->fill) {
    f->position += f->index;
    std::memmove(buf, buf + f->index, f->fill - f->index);
    f->fill -= f->index;
    f->index = 0;
  } else if (f->index == f->capacity) {
    f->position += f->index;
    f->index = 0;
    f->fill = 0;
  }
  if (f->fill < f->capacity) {
    f->fill += FillFrom(f, buf + f->fill, f->capacity - f->fill);
  }
}

bool LineFeedUnread(BufferedFile* f) { return std::memchr(BufferedBytes(f) + f->index, kLf, Unread(f)) != nullptr; }

// Readers of the common window size, released and kept for the next ones:
// a listing and the reads after it make and release hundreds of them, and
// handing that memory back to the system and taking it again would cost a
// page fault each time.  Unguarded, like every process-wide record.
constexpr int kSpareReaders = 128;
BufferedFile* g_spare[kSpareReaders];
int g_spares;

BufferedFile* MakeBuffered(FileHandle h, uint32_t capacity, bool seek, uint32_t size) {
  if (h == kNoFile || capacity == 0) return nullptr;
  BufferedFile* f = nullptr;
  GlobalHandle mem = nullptr;
  if (capacity == kBufferedCapacity && g_spares > 0) {
    f = g_spare[--g_spares];
    mem = f->memory;
  } else {
    mem = PlatGlobalAlloc(kGmemMoveable, sizeof(BufferedFile) + capacity);
    if (!mem) return nullptr;
    f = static_cast<BufferedFile*>(PlatGlobalLock(mem));
    if (!f) {
      PlatGlobalFree(mem);
      return nullptr;
    }
  }
  *f = BufferedFile{};
  f->memory = mem;
  f->file = h;
  f->capacity = capacity;
  f->end = kEndUnknown;
  if (seek && SeekFile(h, 0, nullptr, 0) != 0) {
    ReleaseBuffered(f);
    return nullptr;
  }
  const uint32_t want = size < capacity ? size : capacity;
  const uint32_t got = want > 0 ? FillFrom(f, BufferedBytes(f), want) : 0;
  if (got == size) f->end = size;
  if (got == 0) {
    ReleaseBuffered(f);
    return nullptr;
  }
  f->fill = got;
  f->position = 0;
  f->index = 0;
  return f;
}

}  // namespace

BufferedFile* OpenBuffered(FileHandle h, uint32_t capacity) { return MakeBuffered(h, capacity, true, kEndUnknown); }

BufferedFile* OpenFreshBuffered(FileHandle h, uint32_t capacity, uint32_t size) {
  return MakeBuffered(h, capacity, false, size);
}

BufferedFile* OpenPathBuffered(const char* path, OpenMode mode, uint32_t capacity) {
  if (!path) return nullptr;
  // Modes that open nothing (delete, exist test, parse, reopen) answer 0 or
  // 1 instead of a handle; no reader can be made over those.
  if (mode & (kOpenParse | kOpenDelete | kOpenExist | kOpenReopen)) return nullptr;
  FileHandle h = OpenFileMode(path, mode);
  if (h == kNoFile) return nullptr;
  BufferedFile* f = OpenFreshBuffered(h, capacity);
  if (!f) CloseFile(h);
  return f;
}

uint32_t ReadBuffered(BufferedFile* f, void* dst, uint32_t n) {
  if (!f || !dst || n == 0) return 0;
  unsigned char* out = static_cast<unsigned char*>(dst);
  if (f->index > 0 && Unread(f) < n) Refill(f);
  uint32_t done = 0;
  for (;;) {
    uint32_t k = Unread(f);
    if (k > n - done) k = n - done;
    if (k == 0) break;
    std::memcpy(out + done, BufferedBytes(f) + f->index, k);
    f->index += k;
    done += k;
    // Nothing more is wanted: the next window is read when it is asked for.
    if (done == n) break;
    Refill(f);
  }
  return done;
}

uint32_t ReadLine(BufferedFile* f, char* dst, uint32_t size, bool* cut) {
  if (cut != nullptr) *cut = false;
  if (!f || !dst || size == 0) return 0;
  if (f->index > 0 && Unread(f) < size && !LineFeedUnread(f)) Refill(f);
  const unsigned char* buf = BufferedBytes(f);
  uint32_t copied = 0;
  while (copied < size && f->index < f->fill) {
    unsigned char c = buf[f->index];
    if (c == kCr || c == kLf) break;
    dst[copied++] = static_cast<char>(c);
    ++f->index;
  }
  if (copied == size && cut != nullptr) {
    if (f->index == f->fill) {
      Refill(f);
      buf = BufferedBytes(f);
    }
    *cut = f->index < f->fill && buf[f->index] != kCr && buf[f->index] != kLf;
  }
  if (f->index < f->fill && buf[f->index] == kCr) {
    ++f->index;
    // A CR that ends the window may be the first half of a CR LF whose LF
    // is still in the file; without this look the LF would come back as an
    // empty line, which ends a header early.
    if (f->index == f->fill) {
      Refill(f);
      buf = BufferedBytes(f);
    }
  }
  if (f->index < f->fill && buf[f->index] == kLf) ++f->index;
  if (copied < size) dst[copied] = '\0';
  return copied;
}

int PeekBuffered(BufferedFile* f) {
  if (!f) return -1;
  if (f->index >= f->fill) Refill(f);
  return f->index < f->fill ? BufferedBytes(f)[f->index] : -1;
}

int SeekBuffered(BufferedFile* f, uint32_t offset) {
  if (!f) return -1;
  if (f->position <= offset && offset < f->position + f->fill) {
    f->index = offset - f->position;
    return 0;
  }
  if (f->file == kNoFile || SeekFile(f->file, static_cast<int32_t>(offset), nullptr, 0) != offset) return -1;
  f->position = offset;
  uint32_t got = FillFrom(f, BufferedBytes(f), f->capacity);
  f->index = 0;
  f->fill = got;
  return got == 0 ? -1 : 0;
}

void ReleaseBuffered(BufferedFile* f) {
  if (!f) return;
  if (f->capacity == kBufferedCapacity && g_spares < kSpareReaders) {
    g_spare[g_spares++] = f;
    return;
  }
  GlobalHandle mem = f->memory;
  PlatGlobalUnlock(mem);
  PlatGlobalFree(mem);
}

int CloseBuffered(BufferedFile* f) {
  if (!f) return -1;
  int result = f->file != kNoFile ? CloseFile(f->file) : 0;
  ReleaseBuffered(f);
  return result;
}

bool HoldsWholeFile(const BufferedFile* f) { return f != nullptr && f->position == 0 && f->fill == f->end; }

int DetachBuffered(BufferedFile* f) {
  if (!f || f->file == kNoFile) return -1;
  int result = CloseFile(f->file);
  f->file = kNoFile;
  return result;
}

int MoveWithin(FileHandle h, uint32_t dstOff, uint32_t srcOff, uint32_t len) {
  if (dstOff == srcOff || len == 0) return 1;
  if (h == kNoFile) return 0;
  const bool backwards = srcOff < dstOff && dstOff < srcOff + len;

  uint32_t chunk = len < kMoveChunk ? len : kMoveChunk;
  GlobalHandle mem = nullptr;
  for (;;) {
    mem = PlatGlobalAlloc(kGmemMoveable, chunk);
    if (mem) break;
    chunk /= 2;
    if (chunk < kMoveChunkMin) return 0;
  }
  unsigned char* buf = static_cast<unsigned char*>(PlatGlobalLock(mem));
  if (!buf) {
    PlatGlobalFree(mem);
    return 0;
  }

  int result = 1;
  uint32_t remaining = len;
  while (remaining > 0) {
    uint32_t k = remaining < chunk ? remaining : chunk;
    // Backwards the piece taken is the last k bytes of what remains, so
    // every source byte is read before an overlapping write reaches it.
    uint32_t rel = backwards ? remaining - k : len - remaining;
    uint32_t from = srcOff + rel;
    uint32_t to = dstOff + rel;
    if (SeekFile(h, static_cast<int32_t>(from), nullptr, 0) != from || ReadFileBytes(h, buf, k) != k ||
        SeekFile(h, static_cast<int32_t>(to), nullptr, 0) != to || WriteFileBytes(h, buf, k) != k) {
      result = 0;
      break;
    }
    remaining -= k;
  }

  PlatGlobalUnlock(mem);
  PlatGlobalFree(mem);
  return result;
}

uint32_t FileSizeOf(FileHandle h) { return FileSize(h); }

}  // namespace vk
