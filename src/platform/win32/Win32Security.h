// Owners and rights of the Windows file-system layer's entries: security descriptors
// written in SDDL and set, or read, through an entry's own handle.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "platform/Folder.h"

namespace qvr::win32 {

// Owner and DACL set through a handle. No data access, so it conflicts with no handle
// that holds the entry, however little that one shares.
inline constexpr ACCESS_MASK kRightsAccess = WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES;

struct LocalMemoryDeleter {
  void operator()(void* memory) const noexcept { ::LocalFree(memory); }
};
using SecurityDescriptor = std::unique_ptr<void, LocalMemoryDeleter>;

// The descriptor of `rights` as `grant` gives them to a folder or a file; null (the
// error in GetLastError) where the system cannot build it.
SecurityDescriptor DescriptorOf(Rights rights, Grant grant, bool folder);

// Sets owner and DACL of the entry held by `entry`, shown as `path` in errors. Where the
// handle lacks WRITE_DAC and WRITE_OWNER (a held folder, a file open for reading), the
// entry is opened once more for them.
Result<void> SetRightsOf(HANDLE entry, const std::string& path, Rights rights, Grant grant,
                         bool folder);

// Whose the entry held by `entry` is, read through it, or through a second handle with
// READ_CONTROL where it lacks that.
Result<Owner> OwnerOf(HANDLE entry, const std::string& path);

}  // namespace qvr::win32
