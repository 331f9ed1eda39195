#include "BenchArchives.h"

#include <cstdio>
#include <stdexcept>
#include <vector>

#include "packer/QVRPacker.h"
#include "setup/InstallPaths.h"

namespace qvr::bench {
namespace {

constexpr char kArchiveName[] = "QVRKDV2.QVP";
// Written once the archive is packed: a run that stopped halfway leaves none.
constexpr char kCompleteMark[] = "complete";

[[noreturn]] void Fail(const std::string& what, const std::string& path, FileSystem& fs) {
  throw std::runtime_error(what + " " + path + ": " + fs.LastErrorText());
}

std::unique_ptr<Folder> Need(std::unique_ptr<Folder> folder, const Folder& parent,
                             const std::string& name, FileSystem& fs) {
  if (!folder) Fail("cannot create the folder", parent.Path() + name, fs);
  return folder;
}

// `size` bytes of a pattern that differs from file to file.
void WriteFile(Folder& folder, const std::string& name, std::uint32_t size, std::uint32_t seed,
               FileSystem& fs) {
  static std::vector<unsigned char> block(1 << 19);
  for (std::size_t i = 0; i < block.size(); ++i) {
    block[i] = static_cast<unsigned char>((i * 131 + seed * 7) >> 3);
  }
  const std::unique_ptr<OpenFile> file = folder.Create(name, IfExists::Replace);
  if (!file) Fail("cannot create", folder.Path() + name, fs);
  for (std::uint32_t left = size; left > 0;) {
    const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(left, block.size()));
    std::uint32_t written = 0;
    if (!file->Write(block.data(), count, written) || written != count) {
      Fail("cannot write", folder.Path() + name, fs);
    }
    left -= count;
  }
}

std::unique_ptr<Folder> MakeFolders(Folder& root, std::initializer_list<const char*> names,
                                    FileSystem& fs) {
  std::unique_ptr<Folder> folder;
  for (const char* name : names) {
    Folder& parent = folder ? *folder : root;
    folder = Need(parent.CreateFolder(name), parent, name, fs);
  }
  return folder;
}

// The product's folders, with the program, its picture and two fonts where the setup
// expects them, and the payload among the templates.
void MakeTree(Folder& gen, const ArchiveShape& shape, FileSystem& fs) {
  const std::unique_ptr<Folder> product =
      Need(gen.CreateFolder(kProductFolderName), gen, kProductFolderName, fs);
  WriteFile(*MakeFolders(*product, {kInternFolderName, kProgrammFolderName}, fs),
            "QVR-Kelvador.exe", 256 << 10, 1, fs);
  WriteFile(*MakeFolders(*product, {kDatenFolderName, kProgrammFolderName, kBilderFolderName}, fs),
            "QVR.bmp", 12 << 10, 2, fs);
  const std::unique_ptr<Folder> fonts =
      MakeFolders(*product, {kDatenFolderName, kProgrammFolderName, kFontsFolderName}, fs);
  WriteFile(*fonts, "QVRSans.ttf", 700 << 10, 3, fs);
  WriteFile(*fonts, "QVRSans-Bold.ttf", 650 << 10, 4, fs);
  const std::unique_ptr<Folder> templates =
      MakeFolders(*product, {kDatenFolderName, kProgrammFolderName, "Vorlagen"}, fs);
  std::unique_ptr<Folder> group;
  for (int i = 0; i < shape.files; ++i) {
    if (i % shape.filesPerFolder == 0) {
      const std::string name = "Gruppe" + std::to_string(i / shape.filesPerFolder);
      group = Need(templates->CreateFolder(name), *templates, name, fs);
    }
    WriteFile(*group, "Vorlage" + std::to_string(i) + ".dat", shape.fileSize,
              static_cast<std::uint32_t>(i) + 10, fs);
  }
}

}  // namespace

std::unique_ptr<Folder> FreshFolder(Folder& parent, const std::string& name) {
  if (!parent.Remove(name)) return nullptr;
  return parent.CreateFolder(name);
}

std::string PrepareArchive(FileSystem& fs, const std::string& work, const ArchiveShape& shape) {
  const std::unique_ptr<Folder> workFolder = fs.OpenFolder(work);
  if (!workFolder) Fail("cannot open the work folder", work, fs);
  const std::string name =
      shape.name + "-" + std::to_string(shape.files) + "x" + std::to_string(shape.fileSize);
  const std::unique_ptr<Folder> archives = MakeFolders(*workFolder, {"archives"}, fs);
  std::unique_ptr<Folder> folder = archives->OpenFolder(name);
  const std::string path = archives->Path() + name + "\\";
  if (folder && folder->Lookup(kCompleteMark) == EntryKind::File) return path;

  std::printf("packing the %s archive (%d files of %u bytes) into %s\n", shape.name.c_str(),
              shape.files, shape.fileSize, path.c_str());
  std::fflush(stdout);
  folder.reset();
  folder = Need(FreshFolder(*archives, name), *archives, name, fs);
  {
    // Held only while it is filled: held folders cannot be removed.
    const std::unique_ptr<Folder> gen =
        Need(FreshFolder(*workFolder, "gen"), *workFolder, "gen", fs);
    MakeTree(*gen, shape, fs);
  }

  TQVRPacker packer(nullptr, fs);
  packer.PackModus = Packen;
  packer.QuellPfad = workFolder->Path() + "gen\\" + kProductFolderName + "\\";
  packer.ZielPfad = path + kArchiveName;
  std::int32_t status = -1;
  packer.OnStatus = [&status](std::int32_t code, const std::string&) { status = code; };
  packer.Starten();
  if (status != 0) {
    throw std::runtime_error("packing " + packer.ZielPfad + " ended with status " +
                             std::to_string(status) + ": " + TQVRPacker::LastFailure().ErrorText);
  }
  workFolder->Remove("gen");
  WriteFile(*folder, kCompleteMark, 0, 0, fs);
  return path;
}

}  // namespace qvr::bench
