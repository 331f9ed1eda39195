#include "shell/wmiclose.h"

#include "platform/SystemMessage.h"
#include "platform/Text.h"
#include "shell/WbemScripting_TLB.h"

#include <cstdint>

namespace qvr {

namespace {

constexpr const char* kNamespace = "root\\CIMV2";
constexpr const char* kQuery = "SELECT * FROM Win32_OperatingSystem WHERE Primary=True";
constexpr const char* kQueryLanguage = "WQL";
constexpr std::int32_t kWbemFlagReturnImmediately = 16;
constexpr std::int32_t kWbemPrivilegeShutdown = 18;
constexpr std::int32_t kWbemCimtypeSint32 = 3;
constexpr const char* kShutdownMethod = "Win32Shutdown";
// Win32Shutdown flags: shutdown 1, reboot 2, force 4 (applications are not asked to save).
constexpr std::int32_t kForcedShutdown = 1 | 4;
constexpr std::int32_t kForcedReboot = 2 | 4;

// Read once, as the runtime's number formatting does.
const char gThousandSeparator = DefaultWmiBinding().ThousandSeparator().value_or(',');

// The system's text for an error code without its trailing line break and full stop.
std::string SystemMessageText(WmiBinding& binding, int code) {
  return TrimSystemMessage(binding.SystemMessage(static_cast<std::uint32_t>(code)));
}

}  // namespace

std::string LocalComputerName() {
  return DefaultWmiBinding().ComputerName().value_or("");
}

int WmiCloseWin(const std::string& computerName, const std::string& userName,
                const std::string& password, bool restart, std::string& errorText) {
  return WmiCloseWin(DefaultWmiBinding(), computerName, userName, password, restart, errorText);
}

int WmiCloseWin(WmiBinding& binding, const std::string& computerName, const std::string& userName,
                const std::string& password, bool restart, std::string& errorText) {
  errorText.clear();
  int result = -1;
  TSWbemLocator locator(nullptr, binding);
  try {
    auto services =
        locator.ConnectServer(computerName, kNamespace, userName, password, "", "", 0, nullptr);
    services->Security()->Privileges()->Add(kWbemPrivilegeShutdown, true);
    auto objectSet =
        services->ExecQuery(kQuery, kQueryLanguage, kWbemFlagReturnImmediately, nullptr);
    if (objectSet->Count() < 1) return -1;

    auto enumerator = objectSet->NewEnum();
    std::unique_ptr<WmiElement> element;
    if (enumerator->Next(element) != 0 || !element) return -1;

    // Only the first primary operating system object is asked.
    auto system = element->QueryObject();
    auto method = system->Method(kShutdownMethod, 0);
    auto inParameters = method->SpawnInParameters(0);
    inParameters->AddProperty("Flags", kWbemCimtypeSint32, false, 0)
        ->SetValue(restart ? kForcedReboot : kForcedShutdown);
    auto outParameters = system->ExecMethod(kShutdownMethod, *inParameters, 0, nullptr);
    result = outParameters->PropertyItem("ReturnValue", 0)->IntegerValue();

    if (result != 0) {
      errorText = "PC Close Down Failed: " + SystemMessageText(binding, result) + " [" +
                  IntToGroupedText(result) + "]";
    }
  } catch (...) {
    // Whatever failed, the caller gets one answer; the failure's own text is not kept.
    result = -1;
    errorText = "Exception in WmiCloseWin";
  }
  return result;
}

std::string IntToGroupedText(int value) {
  return GroupThousands(std::to_string(value));
}

std::string GroupThousands(const std::string& digits) {
  return GroupThousands(digits, gThousandSeparator);
}

std::string GroupThousands(const std::string& digits, char separator) {
  const bool negative = !digits.empty() && digits.front() == '-';
  const std::string bare = negative ? digits.substr(1) : digits;
  if (bare.size() <= 3) return digits;

  std::string grouped = negative ? "-" : "";
  std::size_t lead = bare.size() % 3;
  if (lead == 0) lead = 3;
  grouped += bare.substr(0, lead);
  for (std::size_t i = lead; i < bare.size(); i += 3) {
    grouped += separator;
    grouped += bare.substr(i, 3);
  }
  return grouped;
}

char ThousandSeparator() {
  return gThousandSeparator;
}

std::string FillText(int count, char fillChar) {
  return count > 0 ? std::string(static_cast<std::size_t>(count), fillChar) : std::string();
}

std::string CentreText(const std::string& text, int width, char fillChar) {
  const auto length = static_cast<int>(CharacterCount(text));
  if (length >= width) return text;
  const int left = width / 2 - length / 2;
  return FillText(left, fillChar) + text + FillText(width - left - length, fillChar);
}

}  // namespace qvr
