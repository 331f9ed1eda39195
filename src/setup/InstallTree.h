// The installed tree (setup/TreeLayout.h) held open while the setup works in it, made the
// administrators' before anything is unpacked, and never destroyed before its
// replacement is complete.
//
// The installation root lies in the root of the Windows drive, where every signed-in
// user may create folders before the setup runs and change them while it runs. So every
// folder is opened once, through its parent's handle, checked through its own handle
// and held; nothing is looked up by path again. In this order:
//
//   Check    every folder that is there is a plain folder, never a link; each that the
//            setup secures, replaces or puts back was made by the administrators, SYSTEM
//            or the user running the setup (another user could hold a handle on it and
//            give themselves the tree back). Nothing changes.
//   Prepare  the root and the product folder become the administrators', the data folder
//            the users'; the earlier program and fonts folders move aside into Earlier,
//            made the administrators' alone, and new, empty ones take their place.
//   Finish   after a successful unpack: what the earlier folders held beyond the
//            archive's files goes to Kept, the rest of them is removed.
//   Restore  after a failure: the new program and fonts folders are removed and the
//            earlier ones put back.
//
// A run cut off between Prepare and Finish leaves the earlier folders in Earlier; the
// next run takes them for the earlier installation and the ones in place for the
// partial new ones.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/FileSystem.h"
#include "setup/TreeLayout.h"

namespace qvr {

class InstallTree {
 public:
  explicit InstallTree(FileSystem& fs) : fs_(fs) {}

  // The tree below `drivePath`, the root of the drive that holds the Windows folder.
  Result<void> Check(const std::string& drivePath);
  // Makes the folders of the tree that the archive holds (`inArchive`) and that are not
  // there yet; the others it leaves to what the archive brings.
  Result<void> Prepare(const std::function<bool(TreeFolder)>& inArchive);
  Result<void> Finish();
  // Puts back what Prepare moved; best effort: what cannot go back stays in Earlier,
  // where the next run finds it.
  Result<void> Restore();

  // Held from Prepare on; the fonts folder where the archive brings one.
  Folder& Root() { return *Held(TreeFolder::Root); }
  Folder* Fonts() { return Held(TreeFolder::Fonts).get(); }

 private:
  static constexpr std::size_t kFolders = static_cast<std::size_t>(TreeFolder::Kept) + 1;

  std::unique_ptr<Folder>& Held(TreeFolder folder) {
    return held_[static_cast<std::size_t>(folder)];
  }
  // The folder that holds `folder`: the drive root for the installation root.
  Folder& Parent(TreeFolder folder);
  // Opens `folder` in `in` and checks it; absent is no failure.
  Result<std::unique_ptr<Folder>> Inspect(Folder& in, TreeFolder folder);
  // Holds `folder` with its rights: secured where it is there, created where it is not.
  Result<void> Make(TreeFolder folder, std::optional<Rights> rights);
  // Make, for a folder the archive may not hold: left alone where it neither holds it
  // nor is it there.
  Result<void> MakeIf(bool wanted, TreeFolder folder, std::optional<Rights> rights) {
    return wanted || Held(folder) ? Make(folder, rights) : Result<void>();
  }
  // Moves the earlier `folder` aside, or drops the partial one of a run that was cut off.
  Result<void> MoveAside(TreeFolder folder);
  Result<void> OpenDataToUsers();

  FileSystem& fs_;
  std::unique_ptr<Folder> drive_;
  std::array<std::unique_ptr<Folder>, kFolders> held_;
  // The replaced folders: the identity of the one found in place, and whether the earlier
  // one is in Earlier (moved there by this run or by one that was cut off).
  std::array<std::optional<EntryId>, kFolders> inPlace_;
  std::array<bool, kFolders> aside_{};
};

}  // namespace qvr
