// The installed tree and who may change it.
//
// The installation root lies in the root of the Windows drive, where every signed-in
// user may create folders before the setup runs and change them while it runs. So the
// setup makes the tree the administrators' before it unpacks a byte into it, and holds
// its folders open until it ends:
//
//   QVR-SOFTWARE                    the administrators'
//     QVR-Kelvador [DV2.95]         the administrators'
//       Intern                      removed, then unpacked anew: the administrators'
//       Daten                       the administrators' during the run, then the users'
//                                   data folder: they add and change what lies in it
//         Programm                  the administrators', with everything in it
//           Fonts                   removed, then unpacked anew
//
// Everything the unpack creates takes what its folder passes on, so the program, the
// fonts the completion copies into Windows and the pictures the shortcut shows are the
// administrators' from their first byte. Entries of the root and the product folder that
// do not belong to the product are left as they are.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace qvr {

class InstallTree {
 public:
  explicit InstallTree(FileSystem& fs) : fs_(fs) {}

  // Opens the installation root in LaufwerkPfad, creating it with the administrators'
  // rights where it is missing, and closes it and the folders of the tree that exist to
  // standard users, following no link. False, with FailedPath() and Reason(), when a
  // folder cannot be closed; Root() is then null. Root() is also null, with true, when
  // the root can neither be opened nor created: the packer reports its destination status.
  bool Secure();
  // The installation root, held; null before Secure() or when it failed.
  Folder* Root() const { return root_.get(); }

  // After the unpack: Daten becomes the users' data folder, and what lies in it but
  // Programm theirs to change. False, with FailedPath() and Reason(), on a failure.
  bool OpenDataToUsers();

  // The folder that `names` lead to below the installation root, each opened through
  // its parent's handle; null when one of them is missing or no plain folder.
  std::unique_ptr<Folder> Open(std::initializer_list<std::string_view> names) const;

  const std::string& FailedPath() const { return failedPath_; }
  const std::string& Reason() const { return reason_; }

 private:
  bool Fail(const Folder& folder, std::string_view name = {});
  // Opens an existing folder of the tree and makes it the administrators' alone. True with
  // null when no folder of that name is there: the unpack creates it with what `parent`
  // passes on, or fails on a file in its way. False where a link stands in its place.
  bool SecureFolder(Folder& parent, std::string_view name, std::unique_ptr<Folder>& folder);

  FileSystem& fs_;
  std::unique_ptr<Folder> root_;
  // The folders of the tree that existed before the unpack, held until the setup ends.
  std::unique_ptr<Folder> product_;
  std::unique_ptr<Folder> daten_;
  std::unique_ptr<Folder> programm_;
  std::string failedPath_;
  std::string reason_;
};

}  // namespace qvr
