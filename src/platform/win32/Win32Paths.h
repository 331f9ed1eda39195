// Paths as the system resolves and compares them on Windows.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace qvr::win32 {

// The absolute form of a path, as the system resolves it against the current folder;
// empty when it cannot.
std::string FullPath(const std::string& path);

// The long form of an existing path ("C:\PROGRA~1" becomes "C:\Program Files"), which
// is how a final path names each entry; empty when the system gives none.
std::wstring LongPath(const std::wstring& path);

// The path the system resolved for an open handle ("\\?\C:\..."), every link on the way
// followed; empty when it gives none.
std::wstring FinalPath(HANDLE handle);

// Whether two names or paths name the same entry: the file system ignores case.
bool SamePath(std::wstring_view a, std::wstring_view b);

}  // namespace qvr::win32
