#include "platform/win32/Win32Folder.h"

#include <windows.h>
// After windows.h, which they build on.
#include <ntstatus.h>
#include <sddl.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/win32/FileErrors.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32OpenFile.h"
#include "platform/win32/WinText.h"

namespace qvr {

// What one open relative to a folder asks for.
struct Win32Folder::Request {
  ACCESS_MASK access;
  ULONG share;
  ULONG disposition;  // FILE_OPEN or FILE_CREATE
  ULONG options;      // FILE_DIRECTORY_FILE, FILE_NON_DIRECTORY_FILE or neither
  ULONG attributes = 0;
  PSECURITY_DESCRIPTOR security = nullptr;  // a created entry's; null: what the folder passes on
};

namespace {

// Held folders share neither delete nor rename with anyone, this program included: a
// later open of the same folder asks for no DELETE and shares reading with them.
constexpr ULONG kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr ULONG kShareAll = kShareReadWrite | FILE_SHARE_DELETE;
constexpr ACCESS_MASK kFolderAccess =
    FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// Owner and DACL set through the handle. No data access, so it conflicts with no handle
// that holds the entry, however little that one shares.
constexpr ACCESS_MASK kRightsAccess = WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES;
// A read-only entry loses that attribute before it is removed.
constexpr ACCESS_MASK kRemoveAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;

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

const char* OwnSecurity(Rights rights) {
  return rights == Rights::Administrators ? kAdministratorsOwn : kUserDataOwn;
}

const char* PassedOnSecurity(Rights rights, bool folder) {
  if (rights == Rights::Administrators) return folder ? kAdministratorsFolder : kAdministratorsFile;
  return folder ? kUserDataFolder : kUserDataFile;
}

struct LocalMemoryDeleter {
  void operator()(void* memory) const noexcept { ::LocalFree(memory); }
};
using SecurityDescriptor = std::unique_ptr<void, LocalMemoryDeleter>;

SecurityDescriptor ToDescriptor(const char* sddl) {
  PSECURITY_DESCRIPTOR raw = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &raw,
                                                              nullptr)) {
    RememberLastError();
  }
  return SecurityDescriptor(raw);
}

bool SetSecurity(HANDLE entry, SECURITY_INFORMATION what, const SecurityDescriptor& security) {
  if (::SetKernelObjectSecurity(entry, what, security.get())) return true;
  RememberLastError();
  return false;
}

// One component, an entry directly inside a folder: not empty, not "." or "..", no
// delimiter, no drive or stream colon, no NUL, not longer than the system can count.
bool IsBareName(const std::wstring& name) {
  constexpr std::wstring_view kNotInName(L"\\/:\0", 4);
  constexpr std::size_t kLongest = 0x7FFF;  // UNICODE_STRING counts bytes in 16 bits
  return !name.empty() && name != L"." && name != L".." && name.size() <= kLongest &&
         name.find_first_of(kNotInName) == std::wstring::npos;
}

bool ToBareName(std::string_view utf8, std::wstring& name) {
  name = Utf8ToWide(utf8);
  if (IsBareName(name)) return true;
  RememberError(ERROR_INVALID_NAME);
  return false;
}

bool IsDotName(const std::wstring& name) {
  return name == L"." || name == L"..";
}

bool IsFolder(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsLink(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsGone(NTSTATUS status) {
  return status == STATUS_OBJECT_NAME_NOT_FOUND || status == STATUS_NO_SUCH_FILE;
}

// A failed open, in the layer's words where they say more than the system's; `ifLink`
// for an entry that was a link where none is followed.
void RememberOpenFailure(NTSTATUS status, const char* ifLink) {
  if (status == STATUS_STOPPED_ON_SYMLINK) {
    RememberReason(ifLink);
  } else if (status == STATUS_NOT_A_DIRECTORY) {
    RememberReason(reason::kFileNotFolder);
  } else if (status == STATUS_FILE_IS_A_DIRECTORY) {
    RememberReason(reason::kFolderNotFile);
  } else {
    RememberStatus(status);
  }
}

bool ReadInformation(HANDLE entry, EntryInformation& info) {
  if (QueryEntryInformation(entry, info)) return true;
  RememberLastError();
  return false;
}

// Whether an opened folder is a plain one: Windows reports a reparse point for a link.
bool IsPlainFolder(HANDLE folder) {
  EntryInformation info;
  if (!ReadInformation(folder, info)) return false;
  if (IsLink(info.attributes)) {
    RememberReason(reason::kLinkNotFollowed);
    return false;
  }
  if (!IsFolder(info.attributes)) {
    RememberReason(reason::kFileNotFolder);
    return false;
  }
  return true;
}

// Marks an entry opened with DELETE access to be removed when its last handle closes.
// A read-only entry is made writable first, as its removal asks for; a file with more
// than one name keeps the attribute, which its other names share.
bool MarkForDeletion(HANDLE entry, const EntryInformation& info) {
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
  if ((info.attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
      (IsFolder(info.attributes) || info.links == 1)) {
    FILE_BASIC_INFO basic{};  // times of 0 stay as they are
    basic.FileAttributes = info.attributes & kKept;
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (!::SetFileInformationByHandle(entry, FileBasicInfo, &basic, sizeof basic)) {
      RememberLastError();
      return false;
    }
  }
  FILE_DISPOSITION_INFO disposition{TRUE};
  if (::SetFileInformationByHandle(entry, FileDispositionInfo, &disposition, sizeof disposition)) {
    return true;
  }
  RememberLastError();
  return false;
}

class ListedEntries final : public DirectorySearch {
 public:
  explicit ListedEntries(std::vector<DirEntry> entries) : entries_(std::move(entries)) {}

  bool Next(DirEntry& entry) override {
    if (next_ == entries_.size()) return false;
    entry = std::move(entries_[next_++]);
    return true;
  }

 private:
  std::vector<DirEntry> entries_;
  std::size_t next_ = 0;
};

// Whether `path`, a final path, names the entry `name` in the folder of final path `folder`.
bool IsNamedIn(const std::wstring& path, std::wstring folder, const std::wstring& name) {
  if (folder.empty()) return false;
  if (folder.back() != L'\\') folder.push_back(L'\\');
  folder += name;
  return SamePath(path, folder);
}

}  // namespace

// One entry of a folder as the listing reports it.
struct Win32Folder::Listed {
  std::wstring name;
  DWORD attributes;
  std::uint64_t size;
};

// What PassOnRights gives the entries inside.
struct Win32Folder::Inheritance {
  SECURITY_INFORMATION what;
  SecurityDescriptor folder;
  SecurityDescriptor file;
};

Win32Folder::Win32Folder(UniqueFileHandle handle, std::string path)
    : handle_(std::move(handle)), path_(std::move(path)) {}

NTSTATUS Win32Folder::OpenRelative(HANDLE folder, std::wstring_view name, const Request& request,
                                   UniqueFileHandle& entry) {
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

UniqueFileHandle Win32Folder::Reopen(HANDLE folder, ACCESS_MASK access, ULONG share) {
  UniqueFileHandle again;
  const NTSTATUS status =
      OpenRelative(folder, L"", {access, share, FILE_OPEN, FILE_DIRECTORY_FILE}, again);
  if (!NT_SUCCESS(status)) RememberStatus(status);
  return again;
}

NTSTATUS Win32Folder::OpenEntry(const std::wstring& name, const Request& request,
                                UniqueFileHandle& entry) {
  const NTSTATUS status = OpenRelative(handle_.Get(), name, request, entry);
  if (!NT_SUCCESS(status) || IsOwnEntry(entry.Get(), name)) return status;
  entry.Reset();
  return STATUS_STOPPED_ON_SYMLINK;
}

bool Win32Folder::IsOwnEntry(HANDLE entry, const std::wstring& name) {
  const std::wstring reached = FinalPath(entry);
  if (reached.empty()) return false;
  if (IsNamedIn(reached, finalPath_, name)) return true;
  // Not read yet, or a folder above this one was renamed since.
  finalPath_ = FinalPath(handle_.Get());
  return IsNamedIn(reached, finalPath_, name);
}

std::string Win32Folder::PathOf(const std::wstring& name) const {
  return path_ + WideToUtf8(name) + '\\';
}

bool Win32Folder::ReadEntries(std::vector<Listed>& entries) {
  // Wine reads a folder once per handle and answers every later listing of that handle,
  // a restarted one included, from what it read then. So each listing has a handle of
  // its own.
  const UniqueFileHandle listing = Reopen(handle_.Get(), FILE_LIST_DIRECTORY, kShareAll);
  if (!listing) return false;
  std::vector<LONGLONG> buffer(8192);  // 64 KiB, aligned for the records
  const auto bytes = static_cast<DWORD>(buffer.size() * sizeof(LONGLONG));
  FILE_INFO_BY_HANDLE_CLASS request = FileIdBothDirectoryRestartInfo;
  while (::GetFileInformationByHandleEx(listing.Get(), request, buffer.data(), bytes)) {
    const auto* record = reinterpret_cast<const char*>(buffer.data());
    for (;;) {
      const auto& info = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(record);
      entries.push_back(
          {std::wstring(info.FileName, info.FileNameLength / sizeof(wchar_t)), info.FileAttributes,
           IsFolder(info.FileAttributes) ? 0
                                         : static_cast<std::uint64_t>(info.EndOfFile.QuadPart)});
      if (info.NextEntryOffset == 0) break;
      record += info.NextEntryOffset;
    }
    request = FileIdBothDirectoryInfo;
  }
  const DWORD error = ::GetLastError();
  // A folder without even "." (a drive root may be one) answers "not found" at once.
  if (error == ERROR_NO_MORE_FILES ||
      (error == ERROR_FILE_NOT_FOUND && request == FileIdBothDirectoryRestartInfo)) {
    return true;
  }
  RememberError(error);
  return false;
}

std::unique_ptr<DirectorySearch> Win32Folder::List() {
  std::vector<Listed> listed;
  if (!ReadEntries(listed)) return nullptr;
  std::vector<DirEntry> entries;
  entries.reserve(listed.size());
  for (const Listed& entry : listed) {
    entries.push_back({WideToUtf8(entry.name), entry.size, entry.attributes});
  }
  return std::make_unique<ListedEntries>(std::move(entries));
}

EntryKind Win32Folder::Lookup(std::string_view name) {
  // Remembers nothing: a caller asks after a failed open, whose reason must stay.
  const std::wstring wide = Utf8ToWide(name);
  if (!IsBareName(wide)) return EntryKind::None;
  UniqueFileHandle entry;
  const NTSTATUS status = OpenEntry(wide, {FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, 0}, entry);
  if (status == STATUS_STOPPED_ON_SYMLINK) return EntryKind::Link;
  // Under Wine a POSIX link leading nowhere can be neither listed nor opened: none there.
  if (IsGone(status) || status == STATUS_OBJECT_NAME_INVALID) return EntryKind::None;
  // There, but not to be looked at.
  EntryInformation info;
  if (!NT_SUCCESS(status) || !QueryEntryInformation(entry.Get(), info)) {
    return EntryKind::Other;
  }
  if (IsLink(info.attributes)) return EntryKind::Link;
  return IsFolder(info.attributes) ? EntryKind::Folder : EntryKind::File;
}

std::unique_ptr<Folder> Win32Folder::OpenFolder(std::string_view name) {
  return OpenFolderShownAs(name, path_ + std::string(name) + '\\');
}

std::unique_ptr<Win32Folder> Win32Folder::OpenFolderShownAs(std::string_view name,
                                                            std::string path) {
  std::wstring wide;
  if (!ToBareName(name, wide)) return nullptr;
  UniqueFileHandle folder;
  const NTSTATUS status =
      OpenEntry(wide, {kFolderAccess, kShareReadWrite, FILE_OPEN, FILE_DIRECTORY_FILE}, folder);
  if (!NT_SUCCESS(status)) {
    RememberOpenFailure(status, reason::kLinkNotFollowed);
    return nullptr;
  }
  if (!IsPlainFolder(folder.Get())) return nullptr;
  return std::make_unique<Win32Folder>(std::move(folder), std::move(path));
}

bool Win32Folder::HoldsPlainFolder(std::string_view name) {
  std::wstring wide;
  if (!ToBareName(name, wide)) return false;
  UniqueFileHandle entry;
  const NTSTATUS status = OpenEntry(wide, {FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, 0}, entry);
  if (!NT_SUCCESS(status)) {
    RememberOpenFailure(status, reason::kLinkNotFollowed);
    return false;
  }
  return IsPlainFolder(entry.Get());
}

std::unique_ptr<Folder> Win32Folder::CreateFolder(std::string_view name,
                                                  std::optional<Rights> rights) {
  std::wstring wide;
  if (!ToBareName(name, wide)) return nullptr;
  // The rights are part of the creation: there is no moment with others.
  SecurityDescriptor security;
  if (rights && !(security = ToDescriptor(OwnSecurity(*rights)))) return nullptr;
  UniqueFileHandle folder;
  const NTSTATUS status = OpenRelative(
      handle_.Get(), wide,
      {kFolderAccess, kShareReadWrite, FILE_CREATE, FILE_DIRECTORY_FILE, 0, security.get()},
      folder);
  if (status == STATUS_OBJECT_NAME_COLLISION) return OpenFolder(name);
  if (!NT_SUCCESS(status)) {
    RememberOpenFailure(status, reason::kLinkNotFollowed);
    return nullptr;
  }
  return std::make_unique<Win32Folder>(std::move(folder), PathOf(wide));
}

std::unique_ptr<OpenFile> Win32Folder::Create(std::string_view name, IfExists ifExists) {
  std::wstring wide;
  if (!ToBareName(name, wide)) return nullptr;
  // A creation follows no link: any entry of that name, a link leading nowhere included,
  // makes it fail, so what it creates is always new in this folder.
  const Request request{GENERIC_READ | GENERIC_WRITE, 0, FILE_CREATE, FILE_NON_DIRECTORY_FILE,
                        FILE_ATTRIBUTE_NORMAL};
  UniqueFileHandle file;
  NTSTATUS status = OpenRelative(handle_.Get(), wide, request, file);
  if (status == STATUS_OBJECT_NAME_COLLISION && ifExists == IfExists::Replace) {
    if (!RemoveForReplacing(wide)) return nullptr;
    status = OpenRelative(handle_.Get(), wide, request, file);
  }
  if (!NT_SUCCESS(status)) {
    RememberOpenFailure(status, reason::kLinkNotRemovable);
    return nullptr;
  }
  return std::make_unique<Win32OpenFile>(std::move(file));
}

bool Win32Folder::RemoveForReplacing(const std::wstring& name) {
  // Without sharing: a file that another handle holds is refused, not taken from under it.
  UniqueFileHandle entry;
  const NTSTATUS status =
      OpenEntry(name, {kRemoveAccess, 0, FILE_OPEN, FILE_NON_DIRECTORY_FILE}, entry);
  // Under Wine a POSIX link that leads nowhere stands in the way of a creation, but
  // cannot be opened, so cannot be removed either.
  if (IsGone(status) || status == STATUS_STOPPED_ON_SYMLINK) {
    RememberReason(reason::kLinkNotRemovable);
    return false;
  }
  if (!NT_SUCCESS(status)) {
    RememberOpenFailure(status, reason::kLinkNotRemovable);
    return false;
  }
  EntryInformation info;
  return ReadInformation(entry.Get(), info) && MarkForDeletion(entry.Get(), info);
}

std::unique_ptr<OpenFile> Win32Folder::Open(std::string_view name, Names names) {
  std::wstring wide;
  if (!ToBareName(name, wide)) return nullptr;
  const char* link = names == Names::One ? reason::kNotPlainFile : reason::kLinkNotFollowed;
  UniqueFileHandle file;
  const NTSTATUS status = OpenEntry(
      wide,
      {GENERIC_READ, kShareReadWrite, FILE_OPEN, FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY},
      file);
  if (!NT_SUCCESS(status)) {
    RememberOpenFailure(status, link);
    return nullptr;
  }
  EntryInformation info;
  if (!ReadInformation(file.Get(), info)) return nullptr;
  if (IsLink(info.attributes)) {
    RememberReason(link);
    return nullptr;
  }
  if (names == Names::One && info.links != 1) {
    RememberReason(reason::kNotPlainFile);
    return nullptr;
  }
  return std::make_unique<Win32OpenFile>(std::move(file));
}

bool Win32Folder::Remove(std::string_view name) {
  std::wstring wide;
  return ToBareName(name, wide) && RemoveEntry(wide);
}

bool Win32Folder::RemoveEntry(const std::wstring& name) {
  UniqueFileHandle entry;
  const NTSTATUS status = OpenEntry(name, {kRemoveAccess, kShareReadWrite, FILE_OPEN, 0}, entry);
  if (IsGone(status)) return true;
  if (!NT_SUCCESS(status)) {
    RememberOpenFailure(status, reason::kLinkNotRemovable);
    return false;
  }
  EntryInformation info;
  if (!ReadInformation(entry.Get(), info)) return false;
  // A link is removed itself; a folder is emptied first, through a second handle of its
  // own that shares deletion with the first.
  if (IsFolder(info.attributes) && !IsLink(info.attributes)) {
    UniqueFileHandle listing = Reopen(entry.Get(), kFolderAccess, kShareAll);
    if (!listing || !Win32Folder(std::move(listing), PathOf(name)).RemoveContents()) return false;
  }
  return MarkForDeletion(entry.Get(), info);
}

bool Win32Folder::RemoveContents() {
  std::vector<Listed> entries;
  if (!ReadEntries(entries)) return false;
  for (const Listed& entry : entries) {
    if (!IsDotName(entry.name) && !RemoveEntry(entry.name)) return false;
  }
  return true;
}

bool Win32Folder::SetRights(Rights rights) {
  const SecurityDescriptor security = ToDescriptor(OwnSecurity(rights));
  if (!security) return false;
  // This folder once more, with the access that sets owner and DACL, which the held
  // handle does not have.
  const UniqueFileHandle self = Reopen(handle_.Get(), kRightsAccess, kShareAll);
  return self &&
         SetSecurity(self.Get(), OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, security);
}

bool Win32Folder::PassOnRights(std::string_view name, Rights rights) {
  std::wstring wide;
  if (!ToBareName(name, wide)) return false;
  const SECURITY_INFORMATION owner = OWNER_SECURITY_INFORMATION;
  const Inheritance inheritance{
      (rights == Rights::Administrators ? owner : 0) | DACL_SECURITY_INFORMATION,
      ToDescriptor(PassedOnSecurity(rights, true)), ToDescriptor(PassedOnSecurity(rights, false))};
  return inheritance.folder && inheritance.file && PassOnTo(wide, inheritance);
}

bool Win32Folder::PassOnTo(const std::wstring& name, const Inheritance& inheritance) {
  // Without data access this open conflicts with no handle of the entry, whatever it
  // shares, so a file held exclusively is reached as well.
  UniqueFileHandle entry;
  const NTSTATUS status = OpenEntry(name, {kRightsAccess, kShareAll, FILE_OPEN, 0}, entry);
  // Only what is opened is changed: a link Wine followed leads elsewhere.
  if (IsGone(status) || status == STATUS_STOPPED_ON_SYMLINK) return true;
  if (!NT_SUCCESS(status)) {
    RememberStatus(status);
    return false;
  }
  EntryInformation info;
  if (!ReadInformation(entry.Get(), info)) return false;
  const bool folder = IsFolder(info.attributes);
  // A file with a second name may be a file elsewhere.
  if (IsLink(info.attributes) || (!folder && info.links != 1)) return true;
  if (!SetSecurity(entry.Get(), inheritance.what, folder ? inheritance.folder : inheritance.file)) {
    return false;
  }
  if (!folder) return true;
  // The same folder, held from now on while its contents are walked.
  UniqueFileHandle listing = Reopen(entry.Get(), kFolderAccess, kShareReadWrite);
  return listing && Win32Folder(std::move(listing), PathOf(name)).PassOnToContents(inheritance);
}

bool Win32Folder::PassOnToContents(const Inheritance& inheritance) {
  std::vector<Listed> entries;
  if (!ReadEntries(entries)) return false;
  return std::all_of(entries.begin(), entries.end(), [&](const Listed& entry) {
    return IsDotName(entry.name) || PassOnTo(entry.name, inheritance);
  });
}

}  // namespace qvr
