#include "BenchArchives.h"

#include <cstdio>
#include <stdexcept>
#include <vector>

#include "packer/QVRPacker.h"
#include "setup/TreeLayout.h"

namespace qvr::bench {
namespace {

constexpr char kArchiveName[] = "QVRKDV2.QVP";
// Written once the archive is packed: a run that stopped halfway leaves none.
constexpr char kCompleteMark[] = "complete";

// The value, or the failure as the benchmark's error.
template <typename T>
T Need(Result<T> result) {
  if (!result) throw std::runtime_error(result.Error().Message());
  return result.Take();
}

void Need(Result<void> result) {
  if (!result) throw std::runtime_error(result.Error().Message());
}

// `size` bytes of a pattern that differs from file to file.
void WriteFile(Folder& folder, const std::string& name, std::uint32_t size, std::uint32_t seed) {
  static std::vector<unsigned char> block(1 << 19);
  for (std::size_t i = 0; i < block.size(); ++i) {
    block[i] = static_cast<unsigned char>((i * 131 + seed * 7) >> 3);
  }
  const std::unique_ptr<OpenFile> file = Need(folder.Create(name, IfExists::Replace));
  for (std::uint32_t left = size; left > 0;) {
    const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(left, block.size()));
    Need(file->Write(block.data(), count));
    left -= count;
  }
}

// The folders of the installed tree down to `folder`, made below the product folder.
std::unique_ptr<Folder> MakeFolders(Folder& product, TreeFolder folder) {
  std::unique_ptr<Folder> made;
  const std::vector<std::string_view> names = NamesBelowRoot(folder);
  for (auto name = names.begin() + 1; name != names.end(); ++name) {
    made = Need((made ? *made : product).OpenOrCreateFolder(*name));
  }
  return made;
}

// The product's folders, with the program, its picture and two fonts where the setup
// expects them, and the payload among the templates of the product's data.
void MakeTree(Folder& gen, const ArchiveShape& shape) {
  const std::unique_ptr<Folder> product = Need(gen.CreateFolder(kProductFolderName));
  WriteFile(*MakeFolders(*product, TreeFolder::ProgramFiles), "QVR-Kelvador.exe", 256 << 10, 1);
  WriteFile(*MakeFolders(*product, TreeFolder::Pictures), "QVR.bmp", 12 << 10, 2);
  const std::unique_ptr<Folder> fonts = MakeFolders(*product, TreeFolder::Fonts);
  WriteFile(*fonts, "QVRSans.ttf", 700 << 10, 3);
  WriteFile(*fonts, "QVRSans-Bold.ttf", 650 << 10, 4);
  const std::unique_ptr<Folder> templates =
      Need(MakeFolders(*product, TreeFolder::ProductData)->CreateFolder("Vorlagen"));
  std::unique_ptr<Folder> group;
  for (int i = 0; i < shape.files; ++i) {
    if (i % shape.filesPerFolder == 0) {
      group = Need(templates->CreateFolder("Gruppe" + std::to_string(i / shape.filesPerFolder)));
    }
    WriteFile(*group, "Vorlage" + std::to_string(i) + ".dat", shape.fileSize,
              static_cast<std::uint32_t>(i) + 10);
  }
}

}  // namespace

std::unique_ptr<Folder> FreshFolder(Folder& parent, const std::string& name) {
  Need(parent.RemoveTree(name));
  return Need(parent.CreateFolder(name));
}

std::string PrepareArchive(FileSystem& fs, const std::string& work, const ArchiveShape& shape) {
  const std::unique_ptr<Folder> workFolder = Need(fs.OpenFolder(work));
  const std::string name =
      shape.name + "-" + std::to_string(shape.files) + "x" + std::to_string(shape.fileSize);
  const std::unique_ptr<Folder> archives = Need(workFolder->OpenOrCreateFolder("archives"));
  const std::string path = archives->Path() + name + "\\";
  {
    // Closed again at once: held folders cannot be removed.
    Result<std::unique_ptr<Folder>> found = archives->OpenFolder(name);
    if (found && (*found)->Open(kCompleteMark)) return path;
  }

  std::printf("packing the %s archive (%d files of %u bytes) into %s\n", shape.name.c_str(),
              shape.files, shape.fileSize, path.c_str());
  std::fflush(stdout);
  const std::unique_ptr<Folder> folder = FreshFolder(*archives, name);
  // Held only while it is filled.
  MakeTree(*FreshFolder(*workFolder, "gen"), shape);

  TQVRPacker packer(nullptr, fs);
  packer.PackModus = Packen;
  packer.QuellPfad = workFolder->Path() + "gen\\" + kProductFolderName + "\\";
  packer.ZielPfad = path + kArchiveName;
  std::int32_t status = -1;
  packer.OnStatus = [&status](std::int32_t code, const std::string&) { status = code; };
  packer.Starten();
  if (status != 0) {
    throw std::runtime_error("packing " + packer.ZielPfad + " ended with status " +
                             std::to_string(status) + ": " +
                             TQVRPacker::LastFailure().error.Message());
  }
  Need(workFolder->RemoveTree("gen"));
  WriteFile(*folder, kCompleteMark, 0, 0);
  return path;
}

}  // namespace qvr::bench
