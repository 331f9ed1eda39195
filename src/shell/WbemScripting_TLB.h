// A component that holds the WMI scripting locator. The locator object is obtained
// lazily, on the first call that needs it, and released when the component goes.
#pragma once

#include "base/Component.h"
#include "shell/WmiBinding.h"

#include <cstdint>
#include <memory>
#include <string>

namespace qvr {

class TSWbemLocator : public TComponent {
 public:
  // No COM activity here.
  explicit TSWbemLocator(TComponent* owner, WmiBinding& binding = DefaultWmiBinding())
      : TComponent(owner), binding_(&binding) {}
  ~TSWbemLocator() override { Disconnect(); }

  // Takes a running locator object, or creates one, and holds its locator
  // interface; does nothing while one is held.
  void Connect();
  void Disconnect();
  bool Connected() const { return locator_ != nullptr; }

  // The held locator, connecting first; EAssertionFailed when none can be had.
  std::shared_ptr<WmiLocator> DefaultInterface();

  std::unique_ptr<WmiServices> ConnectServer(const std::string& server,
                                             const std::string& nameSpace, const std::string& user,
                                             const std::string& password, const std::string& locale,
                                             const std::string& authority,
                                             std::int32_t securityFlags,
                                             WmiNamedValueSet* valueSet);

 private:
  WmiBinding* binding_;
  std::shared_ptr<WmiLocator> locator_;
};

}  // namespace qvr
