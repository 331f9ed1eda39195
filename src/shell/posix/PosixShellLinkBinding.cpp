// Without the Windows shell there is no link object: creating one fails as a COM
// class that is not registered does, and no special folder is known.
#include "shell/ShellLinkBinding.h"

#include "base/Exceptions.h"

namespace qvr {

namespace {

constexpr std::int32_t kClassNotRegistered = static_cast<std::int32_t>(0x80040154u);

class PosixShellLinkBinding final : public ShellLinkBinding {
 public:
  std::unique_ptr<ShellLinkObject> CreateShellLink() override {
    throw EOleSysError("Class not registered", kClassNotRegistered);
  }
  std::optional<std::string> SpecialFolderPath(NativeWindow, int) override { return std::nullopt; }
};

}  // namespace

ShellLinkBinding& DefaultShellLinkBinding() {
  static PosixShellLinkBinding binding;
  return binding;
}

}  // namespace qvr
