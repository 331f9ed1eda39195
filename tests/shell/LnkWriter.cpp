// Writes one shortcut with every property set, for the check of the file by an
// independent reader of the link format (check-lnk.sh).
#include "shell/ShortcutLink.h"

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: shell_lnk_writer <link file>\n");
    return 2;
  }
  qvr::TShortcutLink link(nullptr);
  link.ShortcutFile = argv[1];
  link.Target = "C:\\QVR-SOFTWARE\\Programm\\QVR-Kelvador.exe";
  link.WorkingDir = "C:\\QVR-SOFTWARE\\Programm\\";
  link.Description = "QVR-Kelvador Series";
  link.Arguments = "/demo";
  link.IconLocation = "C:\\QVR-SOFTWARE\\Bilder\\QVR.bmp";
  link.IconNumber = 2;
  link.SetHotKey("k");
  link.SetShowCmd(qvr::TShowCmd::scShowMinimized);
  try {
    link.CreateShortcut();
  } catch (const qvr::Exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
