// The one place where the system's errors on Windows become the layer's FileError: a
// Win32 error code, or an NTSTATUS, which is turned into one first.
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <winternl.h>

#include <string>

#include "platform/FileError.h"

namespace qvr::win32 {

// The Win32 error `error` of `operation` on `path`.
FileError ErrorOf(const char* operation, std::string path, DWORD error);
// GetLastError() of the call that just failed.
FileError LastErrorOf(const char* operation, std::string path);
// An NTSTATUS, in the layer's own words where they say more than the system's: a link
// that was not followed, a file where a folder was asked for, or the other way round.
FileError StatusErrorOf(const char* operation, std::string path, NTSTATUS status);

}  // namespace qvr::win32
