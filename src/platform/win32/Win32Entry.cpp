#include "platform/win32/Win32Entry.h"

// After windows.h, which Win32Entry.h includes.
#include <ntstatus.h>

#include "platform/win32/FileErrors.h"
#include "platform/win32/Win32Paths.h"

namespace qvr::win32 {
namespace {

// Whether `path`, a final path, names the entry `name` in the folder of final path `folder`.
bool IsNamedIn(const std::wstring& path, std::wstring folder, const std::wstring& name) {
  if (folder.empty()) return false;
  if (folder.back() != L'\\') folder.push_back(L'\\');
  folder += name;
  return SamePath(path, folder);
}

bool IsOwnEntry(HANDLE folder, std::wstring& folderFinalPath, HANDLE entry,
                const std::wstring& name) {
  const std::wstring reached = FinalPath(entry);
  if (reached.empty()) return false;
  if (IsNamedIn(reached, folderFinalPath, name)) return true;
  // Not read yet, or a folder above was renamed since.
  folderFinalPath = FinalPath(folder);
  return IsNamedIn(reached, folderFinalPath, name);
}

}  // namespace

NTSTATUS OpenRelative(HANDLE folder, std::wstring_view name, const OpenRequest& request,
                      UniqueFileHandle& entry) {
  // UNICODE_STRING counts bytes in 16 bits: a longer name would be cut short.
  constexpr std::size_t kLongest = 0x7FFF;
  if (name.size() > kLongest) return STATUS_NAME_TOO_LONG;
  UNICODE_STRING text;
  text.Buffer = const_cast<wchar_t*>(name.data());
  text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  text.MaximumLength = text.Length;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, request.security);
  IO_STATUS_BLOCK io{};
  HANDLE raw = nullptr;
  // Backup intent: an administrator, whose backup and restore privileges the file system
  // enables, so also reaches entries whose owner shut the Administrators out.
  const NTSTATUS status =
      ::NtCreateFile(&raw, request.access | SYNCHRONIZE, &attributes, &io, nullptr,
                     request.attributes, request.share, request.disposition,
                     request.options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT |
                         FILE_OPEN_FOR_BACKUP_INTENT,
                     nullptr, 0);
  if (NT_SUCCESS(status)) entry.Reset(raw);
  return status;
}

NTSTATUS OpenOwnEntry(HANDLE folder, std::wstring& folderFinalPath, const std::wstring& name,
                      const OpenRequest& request, UniqueFileHandle& entry) {
  const NTSTATUS status = OpenRelative(folder, name, request, entry);
  // Wine answers "no such file" (where a missing name is "name not found") for a POSIX
  // link that leads nowhere: it stands there, but can be neither opened nor removed.
  if (status == STATUS_NO_SUCH_FILE) return STATUS_STOPPED_ON_SYMLINK;
  if (!NT_SUCCESS(status) || IsOwnEntry(folder, folderFinalPath, entry.Get(), name)) {
    return status;
  }
  entry.Reset();
  return STATUS_STOPPED_ON_SYMLINK;
}

Result<UniqueFileHandle> OpenPlainFolder(HANDLE folder, std::wstring& folderFinalPath,
                                         const std::wstring& name, ACCESS_MASK access, ULONG share,
                                         const std::string& path) {
  constexpr const char* kOperation = "open the folder";
  UniqueFileHandle opened;
  const NTSTATUS status = OpenOwnEntry(folder, folderFinalPath, name,
                                       {access, share, FILE_OPEN, FILE_DIRECTORY_FILE}, opened);
  if (!NT_SUCCESS(status)) return StatusErrorOf(kOperation, path, status);
  // Windows reports a link to a folder as a reparse point.
  Result<EntryInformation> info = ReadInformation(opened.Get(), kOperation, path);
  if (!info) return info.TakeError();
  if (info->IsLink()) return Refusal(kOperation, path, FileReason::IsLink);
  return opened;
}

Result<EntryInformation> ReadInformation(HANDLE entry, const char* operation,
                                         const std::string& path) {
  FILE_ATTRIBUTE_TAG_INFO tag;
  FILE_STANDARD_INFO standard;
  if (!::GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &tag, sizeof tag) ||
      !::GetFileInformationByHandleEx(entry, FileStandardInfo, &standard, sizeof standard)) {
    return LastErrorOf(operation, path);
  }
  return EntryInformation{tag.FileAttributes, standard.NumberOfLinks};
}

std::uint64_t VolumeOf(HANDLE entry) {
  // Room for the volume's label after the fixed part.
  alignas(FILE_FS_VOLUME_INFORMATION) char buffer[sizeof(FILE_FS_VOLUME_INFORMATION) + 64];
  IO_STATUS_BLOCK io{};
  const NTSTATUS status =
      ::NtQueryVolumeInformationFile(entry, &io, buffer, sizeof buffer, FileFsVolumeInformation);
  // A longer label leaves the fixed part filled in.
  if (!NT_SUCCESS(status) && status != STATUS_BUFFER_OVERFLOW) return 0;
  return reinterpret_cast<const FILE_FS_VOLUME_INFORMATION*>(buffer)->VolumeSerialNumber;
}

Result<EntryInfo> InfoOf(HANDLE entry, const std::string& path, std::uint64_t volume) {
  constexpr const char* kOperation = "read the attributes of";
  Result<EntryInformation> info = ReadInformation(entry, kOperation, path);
  if (!info) return info.TakeError();
  FILE_INTERNAL_INFORMATION index{};
  IO_STATUS_BLOCK io{};
  const NTSTATUS status =
      ::NtQueryInformationFile(entry, &io, &index, sizeof index, FileInternalInformation);
  if (!NT_SUCCESS(status)) return StatusErrorOf(kOperation, path, status);
  const EntryKind kind = info->IsLink()     ? EntryKind::Other
                         : info->IsFolder() ? EntryKind::Folder
                                            : EntryKind::File;
  return EntryInfo{
      kind, info->links, {volume, static_cast<std::uint64_t>(index.IndexNumber.QuadPart)}};
}

}  // namespace qvr::win32
