#include "setup/InstallTree.h"

#include <algorithm>
#include <vector>

namespace qvr {
namespace {

bool IsFolder(const DirEntry& entry) {
  return (entry.attributes & attr::kDirectory) != 0 &&
         (entry.attributes & attr::kReparsePoint) == 0;
}

// "Intern (2)", "settings (3).ini": a second name for what is kept beside an entry of the
// same name.
std::string NumberedName(std::string_view name, int number) {
  const std::size_t dot = name.rfind('.');
  const std::size_t cut = dot == std::string_view::npos || dot == 0 ? name.size() : dot;
  return std::string(name.substr(0, cut)) + " (" + std::to_string(number) + ")" +
         std::string(name.substr(cut));
}

// Moves `name` from `from` into `to`, under the first name that is free there: that name.
Result<std::string> MoveKeepingBoth(Folder& from, const std::string& name, Folder& to) {
  std::string free = name;
  Result<void> moved = from.Rename(name, to, free);
  for (int number = 2; moved.Failed(FileReason::Exists) && number < 1000; ++number) {
    free = NumberedName(name, number);
    moved = from.Rename(name, to, free);
  }
  if (!moved) return moved.TakeError();
  return free;
}

// Removes from `kept` what `installed` holds under the same name and of the same kind:
// the archive's files. What is left is what lay there beyond them.
Result<void> PruneArchiveFiles(Folder& kept, Folder& installed, const FileSystem& fs) {
  Result<std::vector<DirEntry>> entries = kept.List();
  Result<std::vector<DirEntry>> archive = installed.List();
  if (!entries) return entries.TakeError();
  if (!archive) return archive.TakeError();
  for (const DirEntry& entry : *entries) {
    const auto same = std::find_if(archive->begin(), archive->end(), [&](const DirEntry& a) {
      return fs.SameName(a.name, entry.name) && IsFolder(a) == IsFolder(entry);
    });
    if (same == archive->end()) continue;
    if (!IsFolder(entry)) {
      // A link stays where the system cannot remove it without touching its target.
      if (Result<void> removed = kept.Remove(entry.name);
          !removed && !removed.Failed(FileReason::IsLink)) {
        return removed;
      }
      continue;
    }
    {
      Result<std::unique_ptr<Folder>> inner = kept.OpenFolder(entry.name);
      Result<std::unique_ptr<Folder>> installedInner = installed.OpenFolder(same->name);
      if (!inner) return inner.TakeError();
      if (!installedInner) return installedInner.TakeError();
      if (Result<void> pruned = PruneArchiveFiles(**inner, **installedInner, fs); !pruned) {
        return pruned;
      }
    }
    // A folder that held nothing else goes; one that did stays.
    if (Result<void> removed = kept.Remove(entry.name);
        !removed && !removed.Failed(FileReason::Exists)) {
      return removed;
    }
  }
  return {};
}

}  // namespace

Folder& InstallTree::Parent(TreeFolder folder) {
  return folder == TreeFolder::Root ? *drive_ : *Held(Describe(folder).parent);
}

Result<std::unique_ptr<Folder>> InstallTree::Inspect(Folder& in, TreeFolder folder) {
  const TreeFolderInfo& info = Describe(folder);
  Result<std::unique_ptr<Folder>> opened = in.OpenFolder(info.name);
  if (opened.Failed(FileReason::NotFound)) return std::unique_ptr<Folder>();
  if (!opened || info.keeping == Keeping::Users || info.keeping == Keeping::Archive) {
    return opened;
  }
  // Its owner may hold a handle on it that outlasts every right set now.
  Result<Owner> owner = (*opened)->ReadOwner();
  if (!owner) return owner.TakeError();
  if (*owner == Owner::OtherUser) {
    return Refusal("check", in.Path() + info.name, FileReason::OtherOwner);
  }
  return opened;
}

Result<void> InstallTree::Check(const std::string& drivePath) {
  // The drive root is the system's: looked up by its path.
  Result<std::unique_ptr<Folder>> drive = fs_.OpenFolder(drivePath);
  if (!drive) return drive.TakeError();
  drive_ = drive.Take();
  // Parents come before their folders in the layout.
  for (std::size_t i = 0; i < kFolders; ++i) {
    const auto folder = static_cast<TreeFolder>(i);
    if (folder != TreeFolder::Root && !Held(Describe(folder).parent)) continue;
    Result<std::unique_ptr<Folder>> inspected = Inspect(Parent(folder), folder);
    if (!inspected) return inspected.TakeError();
    if (!*inspected) continue;
    if (Describe(folder).keeping != Keeping::Replaced) {
      Held(folder) = inspected.Take();
      continue;
    }
    // Not held: it moves aside.
    Result<EntryInfo> info = (*inspected)->Info();
    if (!info) return info.TakeError();
    inPlace_[i] = info->id;
  }
  // What a run that was cut off left aside is the earlier installation.
  if (Folder* earlier = Held(TreeFolder::Earlier).get()) {
    for (const TreeFolder replaced : kReplacedFolders) {
      Result<std::unique_ptr<Folder>> inspected = Inspect(*earlier, replaced);
      if (!inspected) return inspected.TakeError();
      aside_[static_cast<std::size_t>(replaced)] = *inspected != nullptr;
    }
  }
  return {};
}

Result<void> InstallTree::Make(TreeFolder folder, std::optional<Rights> rights) {
  if (std::unique_ptr<Folder>& held = Held(folder)) {
    return rights ? held->SetRights(*rights, Grant::Own) : Result<void>();
  }
  // New only: something that appeared since the check is refused, not taken over.
  Result<std::unique_ptr<Folder>> created =
      Parent(folder).CreateFolder(Describe(folder).name, rights);
  if (!created) return created.TakeError();
  Held(folder) = created.Take();
  return {};
}

Result<void> InstallTree::MoveAside(TreeFolder folder) {
  const std::size_t i = static_cast<std::size_t>(folder);
  const char* const name = Describe(folder).name;
  Folder& earlier = *Held(TreeFolder::Earlier);
  if (aside_[i]) {
    // Partial: the earlier one is aside since a run that was cut off.
    if (inPlace_[i]) {
      if (Result<void> removed = Parent(folder).RemoveTree(name); !removed) return removed;
    }
  } else if (inPlace_[i]) {
    if (Result<void> moved = Parent(folder).Rename(name, earlier, name); !moved) return moved;
    // Still the folder that was checked: one swapped in meanwhile stays where it went,
    // never to be put back.
    Result<std::unique_ptr<Folder>> arrived = earlier.OpenFolder(name);
    Result<EntryInfo> info = arrived ? (*arrived)->Info() : arrived.Error();
    if (!info) return info.TakeError();
    if (!(info->id == *inPlace_[i])) {
      return Refusal("move aside", Parent(folder).Path() + name, FileReason::Changed);
    }
    aside_[i] = true;
  }
  // Nothing loads from it there, and nobody but the administrators changes it.
  return aside_[i] ? earlier.PassOnRights(name, Rights::Administrators) : Result<void>();
}

Result<void> InstallTree::OpenDataToUsers() {
  Folder& data = *Held(TreeFolder::Data);
  Result<std::vector<DirEntry>> entries = data.List();
  if (!entries) return entries.TakeError();
  for (const DirEntry& entry : *entries) {
    if (Result<void> passed = data.PassOnRights(entry.name, Rights::UserData); !passed) {
      return passed;
    }
  }
  return {};
}

Result<void> InstallTree::Prepare(const std::function<bool(TreeFolder)>& inArchive) {
  const auto replacing = [this](TreeFolder folder) {
    const std::size_t i = static_cast<std::size_t>(folder);
    return inPlace_[i].has_value() || aside_[i];
  };
  const bool earlier =
      std::any_of(std::begin(kReplacedFolders), std::end(kReplacedFolders), replacing);
  if (Result<void> made = Make(TreeFolder::Root, Rights::Administrators); !made) return made;
  for (const auto& [folder, rights] :
       {std::pair{TreeFolder::Product, std::optional(Rights::Administrators)},
        std::pair{TreeFolder::Data, std::optional(Rights::UserData)},
        std::pair{TreeFolder::ProductData, std::optional<Rights>()}}) {
    if (Result<void> made = MakeIf(inArchive(folder), folder, rights); !made) return made;
  }
  if (earlier) {
    if (Result<void> made = Make(TreeFolder::Earlier, Rights::Administrators); !made) return made;
  }
  for (const TreeFolder replaced : kReplacedFolders) {
    if (!replacing(replaced)) continue;
    if (Result<void> moved = MoveAside(replaced); !moved) return moved;
  }
  // Everything in the data folder the users', once the fonts are no longer in it.
  if (Held(TreeFolder::Data)) {
    if (Result<void> opened = OpenDataToUsers(); !opened) return opened;
  }
  for (const TreeFolder replaced : kReplacedFolders) {
    if (!inArchive(replaced)) continue;
    if (Result<void> made = Make(replaced, Rights::Administrators); !made) return made;
  }
  return {};
}

Result<void> InstallTree::Finish() {
  // First out of Earlier, each in one step, so that whatever happens next the next run
  // does not take any of it for an earlier installation; then pruned.
  std::vector<std::pair<TreeFolder, std::string>> moved;
  for (const TreeFolder replaced : kReplacedFolders) {
    const std::size_t i = static_cast<std::size_t>(replaced);
    if (!aside_[i]) continue;
    if (Result<void> made = Make(TreeFolder::Kept, Rights::Administrators); !made) return made;
    Result<std::string> keptAs = MoveKeepingBoth(*Held(TreeFolder::Earlier),
                                                 Describe(replaced).name, *Held(TreeFolder::Kept));
    if (!keptAs) return keptAs.TakeError();
    aside_[i] = false;
    moved.emplace_back(replaced, keptAs.Take());
  }
  if (std::unique_ptr<Folder>& earlier = Held(TreeFolder::Earlier)) {
    earlier.reset();
    // Empty now; should it not be, what is in it stays for the next run to find.
    static_cast<void>(Held(TreeFolder::Product)->Remove(Describe(TreeFolder::Earlier).name));
  }
  // The archive's files among what was kept go; what lay there beyond them stays.
  Result<void> outcome;
  for (const auto& [replaced, keptAs] : moved) {
    Folder& kept = *Held(TreeFolder::Kept);
    Result<std::unique_ptr<Folder>> leftovers = kept.OpenFolder(keptAs);
    // Where the archive brings no such folder, all of the earlier one is a leftover.
    Result<void> pruned = !leftovers       ? Result<void>(leftovers.TakeError())
                          : Held(replaced) ? PruneArchiveFiles(**leftovers, *Held(replaced), fs_)
                                           : Result<void>();
    if (!pruned && outcome) outcome = std::move(pruned);
    if (leftovers) leftovers->reset();
    // Gone where nothing was left in it; kept where something was.
    static_cast<void>(kept.Remove(keptAs));
  }
  if (std::unique_ptr<Folder>& kept = Held(TreeFolder::Kept)) {
    // Gone where it holds nothing.
    kept.reset();
    static_cast<void>(Held(TreeFolder::Product)->Remove(Describe(TreeFolder::Kept).name));
  }
  return outcome;
}

Result<void> InstallTree::Restore() {
  Result<void> outcome;
  const auto note = [&outcome](Result<void> step) {
    if (!step && outcome) outcome = std::move(step);
  };
  for (const TreeFolder replaced : kReplacedFolders) {
    const std::size_t i = static_cast<std::size_t>(replaced);
    const char* const name = Describe(replaced).name;
    if (!Held(Describe(replaced).parent)) continue;
    Folder& parent = Parent(replaced);
    if (Held(replaced)) {
      Held(replaced).reset();
      note(parent.RemoveTree(name));
    }
    if (aside_[i]) {
      Result<void> back = Held(TreeFolder::Earlier)->Rename(name, parent, name);
      aside_[i] = !back;
      note(std::move(back));
    }
  }
  if (std::unique_ptr<Folder>& earlier = Held(TreeFolder::Earlier);
      earlier && std::none_of(aside_.begin(), aside_.end(), [](bool a) { return a; })) {
    earlier.reset();
    static_cast<void>(Held(TreeFolder::Product)->Remove(Describe(TreeFolder::Earlier).name));
  }
  return outcome;
}

}  // namespace qvr
