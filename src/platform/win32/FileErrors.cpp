#include "platform/win32/FileErrors.h"

// After windows.h, which FileErrors.h includes.
#include <ntstatus.h>

#include <utility>

#include "platform/win32/SystemErrors.h"

namespace qvr::win32 {
namespace {

FileReason ReasonOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return FileReason::NotFound;
    case ERROR_DIRECTORY:
      return FileReason::NotFolder;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return FileReason::InUse;
    case ERROR_ACCESS_DENIED:
      return FileReason::AccessDenied;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
    case ERROR_DIR_NOT_EMPTY:
      return FileReason::Exists;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return FileReason::NoSpace;
    default:
      return FileReason::Other;
  }
}

}  // namespace

FileError ErrorOf(const char* operation, std::string path, DWORD error) {
  return FileError{operation, std::move(path), ReasonOf(error), SystemErrorText(error)};
}

FileError LastErrorOf(const char* operation, std::string path) {
  return ErrorOf(operation, std::move(path), ::GetLastError());
}

FileError StatusErrorOf(const char* operation, std::string path, NTSTATUS status) {
  switch (status) {
    case STATUS_STOPPED_ON_SYMLINK:
      return Refusal(operation, std::move(path), FileReason::IsLink);
    case STATUS_NOT_A_DIRECTORY:
      return Refusal(operation, std::move(path), FileReason::NotFolder);
    case STATUS_FILE_IS_A_DIRECTORY:
      return Refusal(operation, std::move(path), FileReason::IsFolder);
    default:
      return ErrorOf(operation, std::move(path), ::RtlNtStatusToDosError(status));
  }
}

}  // namespace qvr::win32
