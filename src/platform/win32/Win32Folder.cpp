#include "platform/win32/Win32Folder.h"

#include <windows.h>
// After windows.h, which they build on.
#include <ntstatus.h>
#include <winternl.h>

#include <cstddef>
#include <cstring>
#include <utility>

#include "platform/win32/FileErrors.h"
#include "platform/win32/Win32OpenFile.h"
#include "platform/win32/WinText.h"

namespace qvr::win32 {
namespace {

// A read-only entry loses that attribute before it is removed.
constexpr ACCESS_MASK kRemoveAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;

// Marks an entry opened with DELETE access to be removed when its last handle closes.
// A read-only entry is made writable first, as its removal asks for; a file with more
// than one name keeps the attribute, which its other names share.
Result<void> MarkForDeletion(HANDLE entry, const EntryInformation& info, const char* operation,
                             const std::string& path) {
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
  if ((info.attributes & FILE_ATTRIBUTE_READONLY) != 0 && (info.IsFolder() || info.links == 1)) {
    FILE_BASIC_INFO basic{};  // times of 0 stay as they are
    basic.FileAttributes = info.attributes & kKept;
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (!::SetFileInformationByHandle(entry, FileBasicInfo, &basic, sizeof basic)) {
      return LastErrorOf(operation, path);
    }
  }
  FILE_DISPOSITION_INFO disposition{TRUE};
  if (!::SetFileInformationByHandle(entry, FileDispositionInfo, &disposition, sizeof disposition)) {
    return LastErrorOf(operation, path);
  }
  return {};
}

// Renames the entry held by `entry` to `name` in the folder held by `folder`, unless an
// entry of that name is there. Straight through NtSetInformationFile: Wine 8.0's
// SetFileInformationByHandle refuses a root directory (ERROR_INVALID_PARAMETER), and
// FILE_RENAME_INFO is the kernel's FILE_RENAME_INFORMATION, which it passes on.
NTSTATUS RenameInto(HANDLE entry, HANDLE folder, const std::wstring& name) {
  const std::size_t bytes = name.size() * sizeof(wchar_t);
  const std::size_t size = offsetof(FILE_RENAME_INFO, FileName) + bytes;
  std::vector<LONGLONG> buffer(size / sizeof(LONGLONG) + 1);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = FALSE;
  info->RootDirectory = folder;
  info->FileNameLength = static_cast<DWORD>(bytes);
  std::memcpy(reinterpret_cast<char*>(buffer.data()) + offsetof(FILE_RENAME_INFO, FileName),
              name.data(), bytes);
  IO_STATUS_BLOCK io{};
  return ::NtSetInformationFile(entry, &io, info, static_cast<ULONG>(size), FileRenameInformation);
}

}  // namespace

Result<std::vector<DirEntry>> Win32Folder::ListAll() {
  // Wine reads a folder once per handle and answers every later listing of that handle,
  // a restarted one included, from what it read then. So each listing has a handle of
  // its own.
  UniqueFileHandle listing;
  const NTSTATUS opened =
      OpenRelative(handle_.Get(), L"",
                   {FILE_LIST_DIRECTORY, kShareAll, FILE_OPEN, FILE_DIRECTORY_FILE}, listing);
  if (!NT_SUCCESS(opened)) return StatusErrorOf("list", path_, opened);
  std::vector<DirEntry> entries;
  std::vector<LONGLONG> buffer(8192);  // 64 KiB, aligned for the records
  const auto bytes = static_cast<DWORD>(buffer.size() * sizeof(LONGLONG));
  FILE_INFO_BY_HANDLE_CLASS request = FileIdBothDirectoryRestartInfo;
  while (::GetFileInformationByHandleEx(listing.Get(), request, buffer.data(), bytes)) {
    for (auto* record = reinterpret_cast<const char*>(buffer.data());;) {
      const auto& info = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(record);
      const bool folder = (info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      entries.push_back(
          {WideToUtf8(std::wstring_view(info.FileName, info.FileNameLength / sizeof(wchar_t))),
           folder ? 0 : static_cast<std::uint64_t>(info.EndOfFile.QuadPart), info.FileAttributes});
      if (info.NextEntryOffset == 0) break;
      record += info.NextEntryOffset;
    }
    request = FileIdBothDirectoryInfo;
  }
  const DWORD error = ::GetLastError();
  // A folder without even "." (a drive root may be one) answers "not found" at once.
  if (error == ERROR_NO_MORE_FILES ||
      (error == ERROR_FILE_NOT_FOUND && request == FileIdBothDirectoryRestartInfo)) {
    return entries;
  }
  return ErrorOf("list", path_, error);
}

Result<std::unique_ptr<Folder>> Win32Folder::OpenFolderAt(const std::string& name) {
  Result<UniqueFileHandle> folder = OpenPlainFolder(handle_.Get(), finalPath_, Utf8ToWide(name),
                                                    kFolderAccess, kShareReadWrite, PathOf(name));
  if (!folder) return folder.TakeError();
  return std::make_unique<Win32Folder>(folder.Take(), PathOf(name) + '\\', volume_);
}

Result<std::unique_ptr<Folder>> Win32Folder::CreateFolderAt(const std::string& name,
                                                            std::optional<Rights> rights) {
  constexpr const char* kOperation = "create the folder";
  // The rights are part of the creation: there is no moment with others.
  SecurityDescriptor security;
  if (rights && !(security = DescriptorOf(*rights, Grant::Own, true))) {
    return LastErrorOf(kOperation, PathOf(name));
  }
  UniqueFileHandle folder;
  const NTSTATUS status = OpenRelative(
      handle_.Get(), Utf8ToWide(name),
      {kFolderAccess, kShareReadWrite, FILE_CREATE, FILE_DIRECTORY_FILE, 0, security.get()},
      folder);
  if (!NT_SUCCESS(status)) return StatusErrorOf(kOperation, PathOf(name), status);
  return std::make_unique<Win32Folder>(std::move(folder), PathOf(name) + '\\', volume_);
}

Result<std::unique_ptr<OpenFile>> Win32Folder::OpenFileAt(const std::string& name, Access access) {
  constexpr const char* kOperation = "open";
  // For its rights alone the file is opened without data access, so a file that another
  // handle holds exclusively is reached as well.
  const OpenRequest request =
      access == Access::Read
          ? OpenRequest{GENERIC_READ, kShareReadWrite, FILE_OPEN,
                        FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY}
          : OpenRequest{kRightsAccess, kShareAll, FILE_OPEN, FILE_NON_DIRECTORY_FILE};
  UniqueFileHandle file;
  const NTSTATUS status = OpenOwnEntry(handle_.Get(), finalPath_, Utf8ToWide(name), request, file);
  if (!NT_SUCCESS(status)) return StatusErrorOf(kOperation, PathOf(name), status);
  Result<EntryInformation> info = ReadInformation(file.Get(), kOperation, PathOf(name));
  if (!info) return info.TakeError();
  if (info->IsLink()) return Refusal(kOperation, PathOf(name), FileReason::IsLink);
  return std::make_unique<Win32OpenFile>(std::move(file), PathOf(name), volume_);
}

Result<std::unique_ptr<OpenFile>> Win32Folder::CreateFileAt(const std::string& name) {
  // A creation follows no link: any entry of that name, a link leading nowhere included,
  // makes it fail, so what it creates is always new in this folder.
  UniqueFileHandle file;
  const NTSTATUS status = OpenRelative(handle_.Get(), Utf8ToWide(name),
                                       {GENERIC_READ | GENERIC_WRITE, 0, FILE_CREATE,
                                        FILE_NON_DIRECTORY_FILE, FILE_ATTRIBUTE_NORMAL},
                                       file);
  if (!NT_SUCCESS(status)) return StatusErrorOf("create", PathOf(name), status);
  return std::make_unique<Win32OpenFile>(std::move(file), PathOf(name), volume_);
}

Result<void> Win32Folder::RemoveAt(const std::string& name, bool folder) {
  const char* operation = folder ? "remove the folder" : "remove";
  const std::wstring wide = Utf8ToWide(name);
  // Anything but a folder is opened without sharing: a file that another handle holds is
  // refused, not taken from under it. A folder shares as a held one does.
  const OpenRequest request =
      folder ? OpenRequest{kRemoveAccess, kShareReadWrite, FILE_OPEN, FILE_DIRECTORY_FILE}
             : OpenRequest{kRemoveAccess, 0, FILE_OPEN, 0};
  UniqueFileHandle entry;
  NTSTATUS status = OpenOwnEntry(handle_.Get(), finalPath_, wide, request, entry);
  // A plain folder that is held (a Win32Folder holds one) is still a folder, not in use.
  if (status == STATUS_SHARING_VIOLATION && !folder &&
      OpenPlainFolder(handle_.Get(), finalPath_, wide, FILE_READ_ATTRIBUTES, kShareAll, {})) {
    status = STATUS_FILE_IS_A_DIRECTORY;
  }
  if (!NT_SUCCESS(status)) return StatusErrorOf(operation, PathOf(name), status);
  Result<EntryInformation> info = ReadInformation(entry.Get(), operation, PathOf(name));
  if (!info) return info.TakeError();
  // A link that Windows reports is removed itself, whatever it leads to, but never as a
  // folder. (A POSIX link under Wine was refused by OpenOwnEntry: deleting through its
  // handle would delete the target.)
  if (folder != (info->IsFolder() && !info->IsLink())) {
    return Refusal(operation, PathOf(name), folder ? FileReason::IsLink : FileReason::IsFolder);
  }
  return MarkForDeletion(entry.Get(), *info, operation, PathOf(name));
}

Result<void> Win32Folder::RenameAt(const std::string& name, Folder& to,
                                   const std::string& newName) {
  auto* target = dynamic_cast<Win32Folder*>(&to);
  if (target == nullptr) return ErrorOf("rename", PathOf(name), ERROR_NOT_SAME_DEVICE);
  // Through the entry's own handle, checked to be the entry itself: under Wine a handle
  // reached through a POSIX link renames what the link leads to.
  UniqueFileHandle entry;
  NTSTATUS status = OpenOwnEntry(handle_.Get(), finalPath_, Utf8ToWide(name),
                                 {DELETE, kShareReadWrite, FILE_OPEN, 0}, entry);
  if (NT_SUCCESS(status))
    status = RenameInto(entry.Get(), target->handle_.Get(), Utf8ToWide(newName));
  if (!NT_SUCCESS(status)) return StatusErrorOf("rename", PathOf(name), status);
  return {};
}

}  // namespace qvr::win32
