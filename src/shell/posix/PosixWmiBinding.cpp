// Without WMI no locator object can be created, so every close-down request fails
// as a missing COM class does. The computer name comes from the host name.
#include "shell/WmiBinding.h"

#include "base/Exceptions.h"

#include <unistd.h>

#include <climits>

namespace qvr {

namespace {

constexpr std::int32_t kClassNotRegistered = static_cast<std::int32_t>(0x80040154u);

class PosixWmiBinding final : public WmiBinding {
 public:
  std::unique_ptr<WmiServerObject> GetActiveObject() override { return nullptr; }
  std::unique_ptr<WmiServerObject> CreateObject() override {
    throw EOleSysError("Class not registered", kClassNotRegistered);
  }
  std::string SystemMessage(std::uint32_t) override { return {}; }
  std::optional<std::string> ComputerName() override {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) return std::nullopt;
    return std::string(name);
  }
  std::optional<char> ThousandSeparator() override { return std::nullopt; }
};

}  // namespace

WmiBinding& DefaultWmiBinding() {
  static PosixWmiBinding binding;
  return binding;
}

}  // namespace qvr
