// The last failure of this thread's file operations on Windows, remembered at the call
// that failed, before any clean-up can overwrite it: a Win32 error code (an NTSTATUS is
// converted once, here), or the reason the layer refused the operation itself where the
// system has no fitting text (the reason:: texts of platform/FileSystem.h).
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <winternl.h>

#include <string>

namespace qvr {

void RememberError(DWORD error);
void RememberLastError();  // GetLastError() of the call that just failed
void RememberStatus(NTSTATUS status);
void RememberReason(const char* reason);

// What LastErrorText reports: the system's text for the error, or the reason.
std::string LastFileErrorText();

}  // namespace qvr
