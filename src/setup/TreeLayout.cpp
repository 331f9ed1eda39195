#include "setup/TreeLayout.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace qvr {
namespace {

// The one place that spells the names of the tree.
constexpr char kProgramm[] = "Programm";

constexpr TreeFolderInfo kTree[] = {
    {TreeFolder::Root, TreeFolder::Root, kInstallFolderName, Keeping::Secured},
    {TreeFolder::Product, TreeFolder::Root, kProductFolderName, Keeping::Secured},
    {TreeFolder::Program, TreeFolder::Product, "Intern", Keeping::Replaced},
    {TreeFolder::ProgramFiles, TreeFolder::Program, kProgramm, Keeping::Archive},
    {TreeFolder::Data, TreeFolder::Product, "Daten", Keeping::Users},
    {TreeFolder::ProductData, TreeFolder::Data, kProgramm, Keeping::Users},
    {TreeFolder::Pictures, TreeFolder::ProductData, "Bilder", Keeping::Archive},
    {TreeFolder::Fonts, TreeFolder::ProductData, "Fonts", Keeping::Replaced},
    {TreeFolder::Earlier, TreeFolder::Product, "Vorherige Installation", Keeping::Aside},
    {TreeFolder::Kept, TreeFolder::Product, "Frühere Dateien", Keeping::Aside},
};

}  // namespace

const TreeFolderInfo& Describe(TreeFolder folder) {
  return kTree[static_cast<std::size_t>(folder)];
}

std::vector<std::string_view> NamesBelowRoot(TreeFolder folder) {
  std::vector<std::string_view> names;
  for (TreeFolder f = folder; f != TreeFolder::Root; f = Describe(f).parent) {
    names.push_back(Describe(f).name);
  }
  std::reverse(names.begin(), names.end());
  return names;
}

// Describe() finds each folder at its place in the table.
static_assert(std::size(kTree) == static_cast<std::size_t>(TreeFolder::Kept) + 1 && [] {
  for (std::size_t i = 0; i < std::size(kTree); ++i) {
    if (kTree[i].folder != static_cast<TreeFolder>(i)) return false;
  }
  return true;
}());

}  // namespace qvr
