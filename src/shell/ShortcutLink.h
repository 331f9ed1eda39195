// A non-visual component that writes a shell shortcut (.lnk) from its properties
// through the shell's own link object, and tells the paths of special folders.
#pragma once

#include "base/Component.h"
#include "base/Exceptions.h"
#include "shell/ShellLinkBinding.h"

#include <cstdint>
#include <string>

namespace qvr {

class EShortcutError : public Exception {
  using Exception::Exception;
};

enum class TShowCmd : std::uint8_t { scShowMaximized, scShowMinimized, scShowNormal };

class TShortcutLink : public TComponent {
 public:
  explicit TShortcutLink(TComponent* owner, ShellLinkBinding& binding = DefaultShellLinkBinding())
      : TComponent(owner), binding_(&binding) {}

  std::string ShortcutFile;
  std::string Target;
  std::string WorkingDir;
  std::string Description;
  std::string Arguments;
  std::string IconLocation;
  std::uint16_t IconNumber = 0;

  // A never-set hot key reads as a space, and the space is kept from then on.
  std::string HotKey();
  // The first character (code point) of the UTF-8 text, letters a-z upper-cased;
  // control characters, "" and characters beyond U+FFFF as a space (no hot key).
  // Only characters up to U+00FF become a key in the link.
  void SetHotKey(const std::string& value);

  TShowCmd ShowCmd() const;
  // Unknown values leave the stored show command as it is.
  void SetShowCmd(TShowCmd value);

  // Writes ShortcutFile. EShortcutError "Unable to create .lnk file" when the shell
  // cannot save it; EOleSysError / EIntfCastError when the link object is unusable.
  void CreateShortcut();

  // The owner must be a form (EInvalidCast otherwise); its window parents the shell
  // call. Path is left as it was when the shell does not know the folder.
  void GetSpecialFolder(int folder, std::string& path);
  // The current user's desktop folder, without a trailing backslash.
  void GetDesktopFolder(std::string& path);

 private:
  ShellLinkBinding* binding_;
  std::uint16_t hotKey_ = 0;
  std::int32_t showCmd_ = 0;
};

}  // namespace qvr
