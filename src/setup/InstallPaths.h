// The installation paths of the setup: where the setup runs from, where the
// product goes and where the fonts are copied to. They are Windows paths with
// backslashes on every platform, each ending with a backslash, computed once at
// start-up and read by the install sequence.
#pragma once

#include <functional>
#include <string>

namespace qvr {

// The folders of the installed tree. The installation root lies in the root of the drive
// that holds the Windows folder; the product folder inside it marks, by its existence, an
// earlier installation.
inline constexpr char kInstallFolderName[] = "QVR-SOFTWARE";
inline constexpr char kProductFolderName[] = "QVR-Kelvador [DV2.95]";
inline constexpr char kInternFolderName[] = "Intern";
inline constexpr char kDatenFolderName[] = "Daten";
inline constexpr char kProgrammFolderName[] = "Programm";
inline constexpr char kBilderFolderName[] = "Bilder";
inline constexpr char kFontsFolderName[] = "Fonts";

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

// Computes the seven paths from the setup program's full file name and the
// Windows folder. `readWindir` is called twice, once for the drive of the
// installation root and once for the font folder, as each is derived.
void InitInstallPaths(const std::string& programFileName,
                      const std::function<std::string()>& readWindir);
// Empties the seven paths at the program's end.
void FinalizeInstallPaths();

}  // namespace qvr
