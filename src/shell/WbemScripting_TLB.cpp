#include "shell/WbemScripting_TLB.h"

#include "base/Exceptions.h"

#include <source_location>
#include <string_view>

namespace qvr {

namespace {

// Raises the runtime's assertion failure, naming the source file and line.
[[noreturn]] void AssertionFailed(const std::string& message,
                                  std::source_location where = std::source_location::current()) {
  std::string_view file = where.file_name();
  if (auto slash = file.find_last_of("/\\"); slash != std::string_view::npos) {
    file.remove_prefix(slash + 1);
  }
  throw EAssertionFailed(message + " (" + std::string(file) + ", line " +
                         std::to_string(where.line()) + ")");
}

}  // namespace

void TSWbemLocator::Connect() {
  if (locator_) return;
  auto server = binding_->GetActiveObject();
  if (!server) server = binding_->CreateObject();
  if (server) locator_ = server->QueryLocator();
}

void TSWbemLocator::Disconnect() {
  locator_.reset();
}

std::shared_ptr<WmiLocator> TSWbemLocator::DefaultInterface() {
  if (!locator_) Connect();
  if (!locator_) {
    AssertionFailed(
        "DefaultInterface is NULL. Component is not connected to Server. You must call "
        "'Connect' or 'ConnectTo' before this operation");
  }
  return locator_;
}

std::unique_ptr<WmiServices> TSWbemLocator::ConnectServer(
    const std::string& server, const std::string& nameSpace, const std::string& user,
    const std::string& password, const std::string& locale, const std::string& authority,
    std::int32_t securityFlags, WmiNamedValueSet* valueSet) {
  return DefaultInterface()->ConnectServer(server, nameSpace, user, password, locale, authority,
                                           securityFlags, valueSet);
}

}  // namespace qvr
