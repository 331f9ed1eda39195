// What every entry of the Windows file-system layer rests on: the open of one name
// relative to a held folder handle (NtCreateFile with the folder as root directory),
// which never follows a reparse point; the check that the handle reached the entry
// itself; and what is read through any held handle.
//
// Wine takes a POSIX symbolic link for what it leads to even where a reparse point is
// asked for, and reports no reparse point for it; there only the opened handle's final
// path tells, so every entry opened is compared with its folder's final path and its own
// name, and refused where it is something else.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Folder.h"
#include "platform/win32/UniqueHandle.h"
// After windows.h, which UniqueHandle.h includes.
#include <winternl.h>

namespace qvr::win32 {

// Held folders share neither delete nor rename with anyone, this program included: a
// later open of the same folder asks for no DELETE and shares reading with them.
inline constexpr ULONG kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
inline constexpr ULONG kShareAll = kShareReadWrite | FILE_SHARE_DELETE;
// How a folder is held: listed and reached through.
inline constexpr ACCESS_MASK kFolderAccess =
    FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

// What one open relative to a folder asks for.
struct OpenRequest {
  ACCESS_MASK access;
  ULONG share;
  ULONG disposition;  // FILE_OPEN or FILE_CREATE
  ULONG options;      // FILE_DIRECTORY_FILE, FILE_NON_DIRECTORY_FILE or neither
  ULONG attributes = 0;
  PSECURITY_DESCRIPTOR security = nullptr;  // a created entry's; null: what the folder passes on
};

// `name` opened relative to the folder handle `folder` as `request` asks, never through a
// reparse point; an empty name opens the entry of `folder` once more, with other access.
NTSTATUS OpenRelative(HANDLE folder, std::wstring_view name, const OpenRequest& request,
                      UniqueFileHandle& entry);

// `name` opened relative to `folder` and made sure to be the entry itself. Where it is
// what a link of that name leads to, the handle is closed again and
// STATUS_STOPPED_ON_SYMLINK answered. `folderFinalPath` is the folder's final path,
// read here when empty and again when a folder above was renamed since.
NTSTATUS OpenOwnEntry(HANDLE folder, std::wstring& folderFinalPath, const std::wstring& name,
                      const OpenRequest& request, UniqueFileHandle& entry);

// The plain folder `name` of `folder`, opened for `access` and shown as `path` in errors;
// a link or a file is refused.
Result<UniqueFileHandle> OpenPlainFolder(HANDLE folder, std::wstring& folderFinalPath,
                                         const std::wstring& name, ACCESS_MASK access, ULONG share,
                                         const std::string& path);

// What the layer reads of an open entry: its attributes and how many names it has.
struct EntryInformation {
  DWORD attributes = 0;
  DWORD links = 0;
  bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  bool IsLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};
// Not with GetFileInformationByHandle, which also asks the volume for its serial number:
// under Wine that is a request to the mount manager in another process, 400 to 900 us a
// call against 2 us for these two.
Result<EntryInformation> ReadInformation(HANDLE entry, const char* operation,
                                         const std::string& path);

// The serial number of the volume that holds `entry`; 0 where the system gives none.
// Slow under Wine (see ReadInformation), so it is read once for the folder a path names
// and handed down: what lies below it is on its volume, as no reparse point is followed.
std::uint64_t VolumeOf(HANDLE entry);

// Kind, names and identity of the entry held by `entry`, on the volume `volume`.
Result<EntryInfo> InfoOf(HANDLE entry, const std::string& path, std::uint64_t volume);

}  // namespace qvr::win32
