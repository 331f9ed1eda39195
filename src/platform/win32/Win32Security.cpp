#include "platform/win32/Win32Security.h"

// After windows.h, which Win32Security.h includes.
#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "platform/win32/FileErrors.h"
#include "platform/win32/Win32Entry.h"

namespace qvr::win32 {
namespace {

// Rights as security descriptors: SYSTEM and Administrators full control, Users read and
// execute (0x1200a9). UserData lets Authenticated Users also add files and folders to
// the folder itself (0x1200af) and passes Modify (0x1301bf) on to what lies inside, so
// the folder stays the administrators' while its contents are the users'.
//
// SetKernelObjectSecurity and a creation take a descriptor as it is: the kernel neither
// merges nor propagates inherited ACEs (that is what SetSecurityInfo does on top, by
// name, walking every path below). So the walk by handle writes what a folder of these
// rights passes on itself: the same ACEs marked inherited (ID), with a file's without the
// inheritance flags, as Windows gives them to what is created inside. "P" protects a
// folder's own DACL from what the folder above passes on; "AI" marks a DACL as taking
// part in inheritance, which the kernel keeps only when asked to with "AR".
constexpr char kAdministratorsOwn[] =
    "O:BAD:PAIAR(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
constexpr char kUserDataOwn[] =
    "O:BAD:PAIAR(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;;0x1200af;;;AU)"
    "(A;OICIIO;0x1301bf;;;AU)";
constexpr char kAdministratorsFolder[] =
    "O:BAD:AIAR(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;0x1200a9;;;BU)";
constexpr char kAdministratorsFile[] = "O:BAD:AIAR(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)";
// Passed on by UserData the owner stays: what users put there remains theirs.
constexpr char kUserDataFolder[] =
    "D:AIAR(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;0x1200a9;;;BU)"
    "(A;OICIID;0x1301bf;;;AU)";
constexpr char kUserDataFile[] =
    "D:AIAR(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)(A;ID;0x1301bf;;;AU)";

const char* SddlOf(Rights rights, Grant grant, bool folder) {
  const bool administrators = rights == Rights::Administrators;
  if (grant == Grant::Own) return administrators ? kAdministratorsOwn : kUserDataOwn;
  if (administrators) return folder ? kAdministratorsFolder : kAdministratorsFile;
  return folder ? kUserDataFolder : kUserDataFile;
}

// Runs `use` (a system call on a handle, answering a Win32 error code) on `entry` and,
// where that handle lacks the access the call needs, on the entry opened once more for
// `access`, sharing everything: without data access the second handle conflicts with
// none.
template <typename Use>
Result<void> ThroughHandle(HANDLE entry, ACCESS_MASK access, const char* operation,
                           const std::string& path, Use use) {
  DWORD error = use(entry);
  if (error == ERROR_ACCESS_DENIED) {
    UniqueFileHandle again;
    const NTSTATUS status = OpenRelative(entry, L"", {access, kShareAll, FILE_OPEN, 0}, again);
    if (!NT_SUCCESS(status)) return StatusErrorOf(operation, path, status);
    error = use(again.Get());
  }
  if (error != ERROR_SUCCESS) return ErrorOf(operation, path, error);
  return {};
}

bool IsProcessUser(PSID sid) {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  const UniqueFileHandle token(raw);
  DWORD size = 0;
  ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
  std::vector<LONGLONG> buffer(size / sizeof(LONGLONG) + 1);
  if (!::GetTokenInformation(token.Get(), TokenUser, buffer.data(),
                             static_cast<DWORD>(buffer.size() * sizeof(LONGLONG)), &size)) {
    return false;
  }
  return ::EqualSid(sid, reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid) != FALSE;
}

}  // namespace

SecurityDescriptor DescriptorOf(Rights rights, Grant grant, bool folder) {
  PSECURITY_DESCRIPTOR raw = nullptr;
  ::ConvertStringSecurityDescriptorToSecurityDescriptorA(SddlOf(rights, grant, folder),
                                                         SDDL_REVISION_1, &raw, nullptr);
  return SecurityDescriptor(raw);
}

Result<void> SetRightsOf(HANDLE entry, const std::string& path, Rights rights, Grant grant,
                         bool folder) {
  constexpr const char* kOperation = "set the rights of";
  const SecurityDescriptor security = DescriptorOf(rights, grant, folder);
  if (!security) return LastErrorOf(kOperation, path);
  const bool owner = grant == Grant::Own || rights == Rights::Administrators;
  const SECURITY_INFORMATION what =
      (owner ? OWNER_SECURITY_INFORMATION : 0) | DACL_SECURITY_INFORMATION;
  return ThroughHandle(entry, kRightsAccess, kOperation, path, [&](HANDLE handle) {
    return ::SetKernelObjectSecurity(handle, what, security.get()) ? ERROR_SUCCESS
                                                                   : ::GetLastError();
  });
}

Result<Owner> OwnerOf(HANDLE entry, const std::string& path) {
  PSID owner = nullptr;
  SecurityDescriptor security;
  Result<void> read =
      ThroughHandle(entry, READ_CONTROL, "read the owner of", path, [&](HANDLE handle) {
        PSECURITY_DESCRIPTOR raw = nullptr;
        const DWORD error = ::GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                              &owner, nullptr, nullptr, nullptr, &raw);
        security.reset(raw);
        return error;
      });
  if (!read) return read.TakeError();
  if (::IsWellKnownSid(owner, WinBuiltinAdministratorsSid)) return Owner::Administrators;
  if (::IsWellKnownSid(owner, WinLocalSystemSid)) return Owner::System;
  return IsProcessUser(owner) ? Owner::CurrentUser : Owner::OtherUser;
}

}  // namespace qvr::win32
