#include "setup/InstallTree.h"

#include "setup/InstallPaths.h"

namespace qvr {

bool InstallTree::Fail(const Folder& folder, std::string_view name) {
  failedPath_ = folder.Path();
  failedPath_.append(name);
  reason_ = fs_.LastErrorText();
  return false;
}

bool InstallTree::SecureFolder(Folder& parent, std::string_view name,
                               std::unique_ptr<Folder>& folder) {
  folder = parent.OpenFolder(name);
  if (folder) return folder->SetRights(Rights::Administrators) || Fail(*folder);
  // A link would lead the unpack and the shortcut elsewhere. A file is the packer's to
  // report: it cannot create the folder.
  const EntryKind kind = parent.Lookup(name);
  return kind != EntryKind::Link && kind != EntryKind::Folder ? true : Fail(parent, name);
}

bool InstallTree::Secure() {
  // The drive root and the folders above it are the system's; a root that cannot be
  // opened or created here is the packer's to report.
  const std::unique_ptr<Folder> drive = fs_.OpenFolder(LaufwerkPfad);
  if (!drive) return true;
  std::unique_ptr<Folder> root = drive->CreateFolder(kInstallFolderName, Rights::Administrators);
  if (!root) return true;
  // Made by whoever came first: a user may have made it, or an earlier setup with the
  // rights the drive root passes on.
  if (!root->SetRights(Rights::Administrators)) return Fail(*root);
  if (!SecureFolder(*root, kProductFolderName, product_)) return false;
  if (product_) {
    // The program folder holds only what the archive brings: what lay there before, a
    // library planted beside the program among it, goes with the folder.
    if (!product_->Remove(kInternFolderName)) return Fail(*product_, kInternFolderName);
    if (!SecureFolder(*product_, kDatenFolderName, daten_)) return false;
  }
  if (daten_ && !SecureFolder(*daten_, kProgrammFolderName, programm_)) return false;
  if (programm_) {
    // Every file in Fonts goes into the Windows font folder: none but the archive's.
    if (!programm_->Remove(kFontsFolderName)) return Fail(*programm_, kFontsFolderName);
    if (!PassOnRightsToAll(*programm_, Rights::Administrators)) return Fail(*programm_);
  }
  root_ = std::move(root);
  return true;
}

bool InstallTree::OpenDataToUsers() {
  const std::unique_ptr<Folder> daten = Open({kProductFolderName, kDatenFolderName});
  if (!daten) return true;
  // Programm keeps rights of its own before Daten passes anything on.
  const std::unique_ptr<Folder> programm = daten->OpenFolder(kProgrammFolderName);
  if (programm && !programm->SetRights(Rights::Administrators)) return Fail(*programm);
  if (!daten->SetRights(Rights::UserData)) return Fail(*daten);
  const std::unique_ptr<DirectorySearch> listing = daten->List();
  if (!listing) return Fail(*daten);
  DirEntry entry;
  while (listing->Next(entry)) {
    if (entry.name == "." || entry.name == ".." || fs_.SameName(entry.name, kProgrammFolderName)) {
      continue;
    }
    if (!daten->PassOnRights(entry.name, Rights::UserData)) return Fail(*daten, entry.name);
  }
  return true;
}

std::unique_ptr<Folder> InstallTree::Open(std::initializer_list<std::string_view> names) const {
  if (!root_) return nullptr;
  std::unique_ptr<Folder> folder;
  for (const std::string_view name : names) {
    folder = (folder ? *folder : *root_).OpenFolder(name);
    if (!folder) return nullptr;
  }
  return folder;
}

}  // namespace qvr
