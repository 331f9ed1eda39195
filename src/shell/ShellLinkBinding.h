// The shell's link object as TShortcutLink sees it. The Windows backend wraps the
// shell's COM link object; tests put a recording fake in its place.
#pragma once

#include "base/Component.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qvr {

// One shell-link object, alive as long as this wrapper. Texts are UTF-8; the Windows
// backend hands them to the ANSI link interface converted.
class ShellLinkObject {
 public:
  virtual ~ShellLinkObject() = default;
  virtual void SetPath(const std::string& path) = 0;
  virtual void SetWorkingDirectory(const std::string& folder) = 0;
  virtual void SetArguments(const std::string& arguments) = 0;
  virtual void SetDescription(const std::string& description) = 0;
  virtual void SetShowCmd(std::int32_t showCmd) = 0;
  virtual void SetHotkey(std::uint16_t hotkey) = 0;
  virtual void SetIconLocation(const std::string& file, int index) = 0;
  // Takes the object's persist-file interface (EIntfCastError when it has none) and
  // saves under fileName; returns the save's result code, 0 on success.
  virtual std::int32_t Save(const std::string& fileName, bool remember) = 0;
};

class ShellLinkBinding {
 public:
  virtual ~ShellLinkBinding() = default;
  // A new link object; EOleSysError when it cannot be created, EIntfCastError when
  // it lacks the ANSI link interface.
  virtual std::unique_ptr<ShellLinkObject> CreateShellLink() = 0;
  // The file-system path of a special folder (empty for a folder that has none), or
  // nothing when the shell does not know the folder.
  virtual std::optional<std::string> SpecialFolderPath(NativeWindow owner, int folder) = 0;
};

// The platform's binding: the shell on Windows; elsewhere one whose link object
// cannot be created.
ShellLinkBinding& DefaultShellLinkBinding();

}  // namespace qvr
