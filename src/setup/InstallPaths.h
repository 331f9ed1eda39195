// The installation paths of the setup: where the setup runs from, where the
// product goes and where the fonts are copied to. They are Windows paths with
// backslashes on every platform, each ending with a backslash, computed once at
// start-up and read by the install sequence.
#pragma once

#include <functional>
#include <string>

#include "setup/TreeLayout.h"

namespace qvr {

extern std::string SetupPfad;     // folder of the running setup program
extern std::string LaufwerkPfad;  // root of the drive that holds the Windows folder
extern std::string InstallPfad;   // installation root: LaufwerkPfad + "QVR-SOFTWARE\"
extern std::string ProgrammPfad;  // folder of the installed program
extern std::string BilderPfad;    // pictures of the product (the shortcut's icon)
extern std::string FontsPfad;     // the product's fonts in the installed tree
extern std::string WinFontsPfad;  // the Windows font folder

// The drive part of a Windows path: "C:" for "C:\...", "\\srv\share" for
// "\\srv\share\...", else empty.
std::string ExtractFileDrive(const std::string& path);
// Everything up to and including the last '\' or ':'; empty when there is none.
std::string ExtractFilePath(const std::string& fileName);

// The path of a folder of the installed tree below `installPfad`, ending with
// `delimiter`.
std::string TreePath(const std::string& installPfad, TreeFolder folder, char delimiter = '\\');

// Computes the seven paths from the setup program's full file name and the
// Windows folder. `readWindir` is called twice, once for the drive of the
// installation root and once for the font folder, as each is derived.
void InitInstallPaths(const std::string& programFileName,
                      const std::function<std::string()>& readWindir);
// Empties the seven paths at the program's end.
void FinalizeInstallPaths();

}  // namespace qvr
