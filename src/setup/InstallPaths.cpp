#include "setup/InstallPaths.h"

namespace qvr {

std::string SetupPfad;
std::string LaufwerkPfad;
std::string InstallPfad;
std::string ProgrammPfad;
std::string BilderPfad;
std::string FontsPfad;
std::string WinFontsPfad;

std::string ExtractFileDrive(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    const std::size_t server = path.find('\\', 2);
    const std::size_t share = server == std::string::npos ? server : path.find('\\', server + 1);
    std::string prefix = path.substr(0, share);
    if (prefix.size() > 2 && prefix.back() == '\\') prefix.pop_back();
    return prefix;
  }
  return {};
}

std::string ExtractFilePath(const std::string& fileName) {
  const std::size_t last = fileName.find_last_of("\\:");
  return last == std::string::npos ? std::string() : fileName.substr(0, last + 1);
}

std::string TreePath(const std::string& installPfad, TreeFolder folder, char delimiter) {
  std::string path = installPfad;
  for (const std::string_view name : NamesBelowRoot(folder)) path.append(name) += delimiter;
  return path;
}

void InitInstallPaths(const std::string& programFileName,
                      const std::function<std::string()>& readWindir) {
  SetupPfad = ExtractFilePath(programFileName);
  LaufwerkPfad = ExtractFileDrive(readWindir() + "\\") + "\\";
  InstallPfad = LaufwerkPfad + kInstallFolderName + "\\";
  ProgrammPfad = TreePath(InstallPfad, TreeFolder::ProgramFiles);
  BilderPfad = TreePath(InstallPfad, TreeFolder::Pictures);
  FontsPfad = TreePath(InstallPfad, TreeFolder::Fonts);
  WinFontsPfad = readWindir() + "\\Fonts\\";
}

void FinalizeInstallPaths() {
  for (std::string* path : {&SetupPfad, &LaufwerkPfad, &InstallPfad, &ProgrammPfad, &BilderPfad,
                            &FontsPfad, &WinFontsPfad}) {
    path->clear();
  }
}

}  // namespace qvr
