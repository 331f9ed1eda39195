// The installed tree: every folder the setup knows, where it lies and who may change what
// lies in it. The installation paths, the securing of the tree, the font copy and the
// setup benchmark all derive from this one description.
//
//   QVR-SOFTWARE                      the administrators'
//     QVR-Kelvador [DV2.95]           the administrators'; its existence marks an earlier
//                                     installation
//       Intern                        the program and what it loads: the administrators',
//         Programm                    new from the archive at each installation
//       Daten                         the users' data: they add and change what lies in it
//         Programm                    the product's own data, which its users update
//           Bilder                    pictures, the shortcut's icon among them
//           Fonts                     copied into the Windows font folder: the
//                                     administrators', new from the archive each time
//       Vorherige Installation        the earlier Intern and Fonts while a setup runs;
//                                     there after a run that was cut off
//       Frühere Dateien               what the earlier Intern and Fonts held beyond the
//                                     archive's files, kept after a reinstallation
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qvr {

enum class TreeFolder : std::uint8_t {
  Root,
  Product,
  Program,       // Intern
  ProgramFiles,  // Intern\Programm: the shortcut's target and working folder
  Data,          // Daten
  ProductData,   // Daten\Programm
  Pictures,      // Daten\Programm\Bilder
  Fonts,         // Daten\Programm\Fonts
  Earlier,       // the earlier installation's program and fonts while a setup runs
  Kept,          // what the earlier program and fonts held beyond the archive's files
};

// Who may change a folder, and what the setup does with one that is there before it runs.
enum class Keeping : std::uint8_t {
  Secured,   // the administrators': made so before anything is unpacked
  Replaced,  // the administrators': the earlier one is moved aside, a new one made
  Users,     // the users': kept as it is, made theirs where it is missing
  Archive,   // filled by the unpack with what its folder passes on
  Aside,     // the administrators': only the setup writes it, nothing loads from it
};

struct TreeFolderInfo {
  TreeFolder folder;
  TreeFolder parent;  // the root's parent is the drive root, given as the root itself
  const char* name;
  Keeping keeping;
};

inline constexpr char kInstallFolderName[] = "QVR-SOFTWARE";
inline constexpr char kProductFolderName[] = "QVR-Kelvador [DV2.95]";

const TreeFolderInfo& Describe(TreeFolder folder);

// The names from the installation root down to `folder`, the root's own excluded.
std::vector<std::string_view> NamesBelowRoot(TreeFolder folder);

// The folders the earlier installation kept in Earlier while a setup runs, and whose
// leftovers go to Kept: the program folder and the fonts folder.
inline constexpr TreeFolder kReplacedFolders[] = {TreeFolder::Program, TreeFolder::Fonts};

}  // namespace qvr
