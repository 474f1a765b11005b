// Parcels: the attachment copies in PARCEL and IPARCEL, the rewritten
// "Attachment" line of a delivered copy, and their deletion.
#include "send/parcel.h"

#include <cstring>

#include "store/namelist.h"
#include "read/header.h"
#include "store/config.h"
#include "store/fileprim.h"

namespace vk {

const char kParcelDelimiters[] = ", \r\n";

namespace {

// The length of a parcel name "KWZxxxx." with its terminator.
constexpr size_t kParcelNameLength = 9;

}  // namespace

int DeleteFileRetry(const char* path) {
  if (!path || !*path) return 0;
  if (OpenFileMode(path, kModeDelete) == 1) return 1;
  if (PlatLastError() == PlatError::kNotFound) return 0;
  return OpenFileMode(path, kModeDelete) == 1 ? 1 : 0;
}

CMC_return_code CopyToParcel(const char* sourcePath, char* nameOut, size_t nameSize) {
  if (nameOut && nameSize > 0) nameOut[0] = '\0';
  if (!nameOut || nameSize < kParcelNameLength) return CMC_E_FAILURE;
  if (!sourcePath || !*sourcePath) return CMC_E_ATTACHMENT_OPEN_FAILURE;
  char dir[kPathMax];
  BuildMailPath(dir, kParcelDir);
  if (!*dir) return CMC_E_FAILURE;

  // The source is opened first: an attachment that cannot be read leaves no
  // empty parcel behind.
  FileHandle source = OpenFileMode(sourcePath, kModeReadShared);
  if (source == kNoFile) return CMC_E_ATTACHMENT_OPEN_FAILURE;
  char parcelPath[kPathMax];
  FileHandle parcel = UniqueFileDefault(dir, parcelPath, sizeof parcelPath);
  if (parcel == kNoFile) {
    CloseFile(source);
    return CMC_E_FAILURE;
  }
  // The name is handed out before the copy, so that a caller can remove the
  // parcel of a failed copy.
  CopyBounded(nameOut, FileNamePart(parcelPath), nameSize);

  CMC_return_code rc = CMC_SUCCESS;
  const int64_t copied = CopyFileContents(source, parcel);
  if (copied == -1) {
    rc = CMC_E_ATTACHMENT_READ_FAILURE;
  } else if (copied == -2) {
    rc = CMC_E_DISK_FULL;
  } else if (copied == -3) {
    rc = CMC_E_INSUFFICIENT_MEMORY;
  } else if (copied < 0) {
    rc = CMC_E_FAILURE;
  }
  CloseFile(source);
  // Not flushed: no reader ever sees the outgoing parcel, only the copies
  // made from it, and each of those is flushed before its message appears.
  if (CloseFile(parcel) != 0 && rc == CMC_SUCCESS) rc = CMC_E_DISK_FULL;
  return rc;
}

NameList* ParcelNames(FileHandle h) { return GetHeaderFieldList(h, HeaderNames[kFieldAttachment], kParcelDelimiters); }

CMC_return_code CopyParcels(const NameList* names, NameList** newNames, const char* parcelDir) {
  if (!names || !newNames || !*newNames || !parcelDir) return CMC_E_FAILURE;
  char outgoing[kPathMax];
  BuildMailPath(outgoing, kParcelDir);
  if (!*outgoing) return CMC_E_FAILURE;

  for (unsigned i = 0; i < names->count; ++i) {
    const char* name = names->slots[i];
    if (!IsPlainFileName(name)) return CMC_E_ATTACHMENT_OPEN_FAILURE;
    char sourcePath[kPathMax];
    if (!JoinPath(sourcePath, outgoing, name)) return CMC_E_FAILURE;
    FileHandle source = OpenFileMode(sourcePath, kModeReadShared);
    if (source == kNoFile) return CMC_E_ATTACHMENT_OPEN_FAILURE;

    char copyPath[kPathMax];
    FileHandle copy = UniqueFileDefault(parcelDir, copyPath, sizeof copyPath);
    if (copy == kNoFile) {
      CloseFile(source);
      return CMC_E_ATTACHMENT_WRITE_FAILURE;
    }
    // The name without its period: the form a delivered copy carries.
    char newName[32];
    CopyBounded(newName, FileNamePart(copyPath), sizeof newName);
    const size_t len = std::strlen(newName);
    if (len > 0 && newName[len - 1] == '.') newName[len - 1] = '\0';
    const unsigned before = (*newNames)->count;
    *newNames = AddName(*newNames, newName, kNameModeAppend);
    if ((*newNames)->count == before) {
      CloseFile(source);
      CloseFile(copy);
      DeleteFileRetry(copyPath);
      return CMC_E_INSUFFICIENT_MEMORY;
    }

    const int64_t copied = CopyFileContents(source, copy);
    CloseFile(source);
    // The delivery flushes the copy together with its message; writing it
    // out begins now, while the rest of the delivery is made.
    if (copied >= 0) PlatStartFlush(copy);
    const bool closed = CloseFile(copy) == 0;
    if (copied < 0 || !closed) return CMC_E_ATTACHMENT_WRITE_FAILURE;
  }
  return CMC_SUCCESS;
}

CMC_return_code DeleteParcels(const NameList* names, const char* directory) {
  if (!names || names->count == 0) return CMC_SUCCESS;
  char dir[kPathMax];
  BuildMailPath(dir, directory);
  CMC_return_code rc = CMC_SUCCESS;
  for (unsigned i = 0; i < names->count; ++i) {
    const char* name = names->slots[i];
    char path[kPathMax];
    if (!*dir || !IsPlainFileName(name) || !JoinPath(path, dir, name) || !DeleteFileRetry(path)) {
      rc = CMC_E_ATTACHMENT_NOT_FOUND;
    }
  }
  return rc;
}

GlobalHandle AttachmentLine(const NameList* names) {
  if (!names || names->count == 0) return nullptr;
  const char* field = HeaderNames[kFieldAttachment];
  size_t size = std::strlen(field) + 2 + 2 + 1;
  for (unsigned i = 0; i < names->count; ++i) size += std::strlen(names->slots[i]) + 5;
  GlobalHandle block = PlatGlobalAlloc(kGmemMoveable | kGmemZeroInit, size);
  if (!block) return nullptr;
  char* line = static_cast<char*>(PlatGlobalLock(block));
  if (!line) {
    PlatGlobalFree(block);
    return nullptr;
  }
  CopyBounded(line, field, size);
  AppendBounded(line, ": ", size);
  size_t lineStart = 0;
  for (unsigned i = 0; i < names->count; ++i) {
    const char* name = names->slots[i];
    if (i > 0) {
      // A reader takes kHeaderLineMax characters of a line; past that the
      // names would be lost to it, so they go on continuation lines (room
      // is kept for the ", " that ends a line).
      const size_t used = std::strlen(line) - lineStart;
      if (used + 2 + std::strlen(name) + 2 > kHeaderLineMax) {
        AppendBounded(line, kEntrySeparator, size);
        lineStart = std::strlen(line) - 1;
      } else {
        AppendBounded(line, ", ", size);
      }
    }
    AppendBounded(line, name, size);
  }
  AppendBounded(line, "\r\n", size);
  PlatGlobalUnlock(block);
  return block;
}

}  // namespace vk
