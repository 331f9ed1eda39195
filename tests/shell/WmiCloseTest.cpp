#include "base/Exceptions.h"
#include "shell/WbemScripting_TLB.h"
#include "shell/wmiclose.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace qvr {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::StartsWith;

// What the fake WMI answers, and the calls it saw. failAt names the call that
// raises; live counts the fake objects still alive.
struct WmiScript {
  std::vector<std::string> log;
  std::string failAt;
  std::function<void()> raise = [] {
    throw EOleException("Generic failure ", static_cast<std::int32_t>(0x80041001u),
                        "SWbemServicesEx", "", 0);
  };
  bool running = false;
  bool createNothing = false;
  std::int32_t count = 1;
  std::int32_t nextResult = 0;
  bool nextFetches = true;  // false: Next answers without handing out an element
  std::int32_t returnValue = 0;
  std::string systemMessage;
  int live = 0;

  void Call(std::string call) {
    const std::string name = call.substr(0, call.find('('));
    log.push_back(std::move(call));
    if (name == failAt) raise();
  }
};

std::string Named(const WmiNamedValueSet* set) {
  return set ? "set" : "none";
}

// One fake for every scripting object: each call is logged with its arguments,
// and the object it hands out is another node, named after what it stands for.
class FakeNode final : public WmiServerObject,
                       public WmiLocator,
                       public WmiServices,
                       public WmiSecurity,
                       public WmiPrivilegeSet,
                       public WmiObjectSet,
                       public WmiEnumerator,
                       public WmiElement,
                       public WmiObject,
                       public WmiMethod,
                       public WmiProperty {
 public:
  FakeNode(WmiScript& script, std::string id) : s(script), id_(std::move(id)) { ++s.live; }
  ~FakeNode() override {
    --s.live;
    if (id_ == "locator") s.log.push_back("~Locator");
  }

  std::unique_ptr<WmiLocator> QueryLocator() override { return Node("QueryLocator()", "locator"); }
  std::unique_ptr<WmiServices> ConnectServer(const std::string& server, const std::string& ns,
                                             const std::string& user, const std::string& password,
                                             const std::string& locale,
                                             const std::string& authority, std::int32_t flags,
                                             WmiNamedValueSet* set) override {
    return Node("ConnectServer(" + server + "," + ns + "," + user + "," + password + "," + locale +
                    "," + authority + "," + std::to_string(flags) + "," + Named(set) + ")",
                "services");
  }
  std::unique_ptr<WmiSecurity> Security() override { return Node("Security()", "security"); }
  std::unique_ptr<WmiPrivilegeSet> Privileges() override {
    return Node("Privileges()", "privileges");
  }
  void Add(std::int32_t privilege, bool enabled) override {
    s.Call("Add(" + std::to_string(privilege) + "," + (enabled ? "enabled" : "disabled") + ")");
  }
  std::unique_ptr<WmiObjectSet> ExecQuery(const std::string& query, const std::string& language,
                                          std::int32_t flags, WmiNamedValueSet* set) override {
    return Node("ExecQuery(" + query + "," + language + "," + std::to_string(flags) + "," +
                    Named(set) + ")",
                "set");
  }
  std::int32_t Count() override {
    s.Call("Count()");
    return s.count;
  }
  std::unique_ptr<WmiEnumerator> NewEnum() override { return Node("NewEnum()", "enum"); }
  std::int32_t Next(std::unique_ptr<WmiElement>& element) override {
    s.Call("Next()");
    if (s.nextResult == 0 && s.nextFetches) element = std::make_unique<FakeNode>(s, "element");
    return s.nextResult;
  }
  std::unique_ptr<WmiObject> QueryObject() override { return Node("QueryObject()", "os"); }
  std::unique_ptr<WmiMethod> Method(const std::string& name, std::int32_t flags) override {
    return Node(Describe("Method", name, flags), "method");
  }
  std::unique_ptr<WmiObject> SpawnInParameters(std::int32_t flags) override {
    return Node("SpawnInParameters(" + std::to_string(flags) + ")", "in");
  }
  std::unique_ptr<WmiProperty> AddProperty(const std::string& name, std::int32_t cimType,
                                           bool isArray, std::int32_t flags) override {
    return Node(
        Describe("AddProperty",
                 name + "," + std::to_string(cimType) + "," + (isArray ? "array" : "single"),
                 flags),
        "property");
  }
  void SetValue(std::int32_t value) override { s.Call("SetValue(" + std::to_string(value) + ")"); }
  std::unique_ptr<WmiObject> ExecMethod(const std::string& name, WmiObject& in, std::int32_t flags,
                                        WmiNamedValueSet* set) override {
    return Node("ExecMethod(" + id_ + "," + name + "," + dynamic_cast<FakeNode&>(in).id_ + "," +
                    std::to_string(flags) + "," + Named(set) + ")",
                "out");
  }
  std::unique_ptr<WmiProperty> PropertyItem(const std::string& name, std::int32_t flags) override {
    return Node(Describe("PropertyItem", name, flags), "property");
  }
  std::int32_t IntegerValue() override {
    s.Call("IntegerValue()");
    return s.returnValue;
  }

 private:
  std::unique_ptr<FakeNode> Node(std::string call, std::string id) {
    s.Call(std::move(call));
    return std::make_unique<FakeNode>(s, std::move(id));
  }
  std::string Describe(const std::string& call, const std::string& arguments,
                       std::int32_t flags) const {
    return call + "(" + id_ + "," + arguments + "," + std::to_string(flags) + ")";
  }

  WmiScript& s;
  std::string id_;
};

class FakeWmi final : public WmiBinding {
 public:
  explicit FakeWmi(WmiScript& script) : s(script) {}
  std::unique_ptr<WmiServerObject> GetActiveObject() override {
    s.log.push_back("GetActiveObject()");
    return s.running ? std::make_unique<FakeNode>(s, "server") : nullptr;
  }
  std::unique_ptr<WmiServerObject> CreateObject() override {
    s.Call("CreateObject()");
    return s.createNothing ? nullptr : std::make_unique<FakeNode>(s, "server");
  }
  std::string SystemMessage(std::uint32_t code) override {
    s.log.push_back("SystemMessage(" + std::to_string(code) + ")");
    return s.systemMessage;
  }
  std::optional<std::string> ComputerName() override { return std::nullopt; }
  std::optional<char> ThousandSeparator() override { return std::nullopt; }

 private:
  WmiScript& s;
};

const std::vector<std::string> kRestartCalls = {
    "GetActiveObject()",
    "CreateObject()",
    "QueryLocator()",
    "ConnectServer(PC-7,root\\CIMV2,admin,secret,,,0,none)",
    "Security()",
    "Privileges()",
    "Add(18,enabled)",
    "ExecQuery(SELECT * FROM Win32_OperatingSystem WHERE Primary=True,WQL,16,none)",
    "Count()",
    "NewEnum()",
    "Next()",
    "QueryObject()",
    "Method(os,Win32Shutdown,0)",
    "SpawnInParameters(0)",
    "AddProperty(in,Flags,3,single,0)",
    "SetValue(6)",
    "ExecMethod(os,Win32Shutdown,in,0,none)",
    "PropertyItem(out,ReturnValue,0)",
    "IntegerValue()",
    "~Locator",
};

class WmiCloseWinTest : public ::testing::Test {
 protected:
  int Close(bool restart = true) {
    return WmiCloseWin(wmi, "PC-7", "admin", "secret", restart, errorText);
  }
  WmiScript script;
  FakeWmi wmi{script};
  std::string errorText = "stale";
};

TEST_F(WmiCloseWinTest, AcceptedRebootWalksEveryStepInOrder) {
  EXPECT_EQ(Close(), 0);
  EXPECT_EQ(errorText, "");
  EXPECT_EQ(script.log, kRestartCalls);
  EXPECT_EQ(script.live, 0);
}

TEST_F(WmiCloseWinTest, ShutdownSendsFlagsFiveAndLocalCallPassesEmptyTexts) {
  EXPECT_EQ(WmiCloseWin(wmi, "", "", "", false, errorText), 0);
  EXPECT_EQ(script.log.at(3), "ConnectServer(,root\\CIMV2,,,,,0,none)");
  EXPECT_EQ(script.log.at(15), "SetValue(5)");
}

TEST_F(WmiCloseWinTest, RunningLocatorIsUsedInsteadOfANewOne) {
  script.running = true;
  EXPECT_EQ(Close(), 0);
  EXPECT_THAT(std::vector<std::string>(script.log.begin(), script.log.begin() + 3),
              ElementsAre("GetActiveObject()", "QueryLocator()",
                          "ConnectServer(PC-7,root\\CIMV2,admin,secret,,,0,none)"));
}

TEST_F(WmiCloseWinTest, EveryFailingStepEndsTheRequestWithTheExceptionText) {
  for (std::size_t step = 1; step + 1 < kRestartCalls.size(); ++step) {
    const std::string call = kRestartCalls[step];
    const std::string name = call.substr(0, call.find('('));
    if (name == "Next") continue;  // reports by its result, not by raising
    SCOPED_TRACE(name);
    WmiScript failing;
    failing.failAt = name;
    FakeWmi fake(failing);
    std::string text;
    EXPECT_EQ(WmiCloseWin(fake, "PC-7", "admin", "secret", true, text), -1);
    EXPECT_EQ(text, "Exception in WmiCloseWin");
    // Nothing is called after the failing step, and everything is released.
    std::vector<std::string> expected(kRestartCalls.begin(), kRestartCalls.begin() + step + 1);
    if (step >= 3) expected.push_back("~Locator");
    EXPECT_EQ(failing.log, expected);
    EXPECT_EQ(failing.live, 0);
  }
}

TEST_F(WmiCloseWinTest, AnyKindOfExceptionGivesTheSameAnswer) {
  const std::function<void()> raisers[] = {
      [] { throw EIntfCastError("Interface not supported"); },
      [] { throw EConvertError("no integer"); },
      [] { throw std::runtime_error("anything"); },
      [] { throw std::bad_alloc(); },
      [] { throw 42; },
  };
  for (const auto& raise : raisers) {
    WmiScript failing;
    failing.failAt = "IntegerValue";
    failing.raise = raise;
    FakeWmi fake(failing);
    std::string text;
    EXPECT_EQ(WmiCloseWin(fake, "", "", "", true, text), -1);
    EXPECT_EQ(text, "Exception in WmiCloseWin");
    EXPECT_EQ(failing.live, 0);
  }
}

TEST_F(WmiCloseWinTest, NoOperatingSystemObjectGivesMinusOneWithoutText) {
  script.count = 0;
  EXPECT_EQ(Close(), -1);
  EXPECT_EQ(errorText, "");
  EXPECT_EQ(script.log.at(8), "Count()");
  EXPECT_EQ(script.log.at(9), "~Locator");
  EXPECT_EQ(script.live, 0);

  // The enumerator has nothing: S_FALSE (1), or S_OK (0) without an element.
  for (const std::int32_t answer : {1, 0}) {
    WmiScript empty;
    empty.nextResult = answer;
    empty.nextFetches = false;
    FakeWmi fake(empty);
    EXPECT_EQ(WmiCloseWin(fake, "", "", "", true, errorText), -1);
    EXPECT_EQ(errorText, "");
    EXPECT_EQ(empty.log.at(10), "Next()");
    EXPECT_EQ(empty.log.at(11), "~Locator");
    EXPECT_EQ(empty.live, 0);
  }
}

TEST_F(WmiCloseWinTest, RefusalReportsTheSystemTextAndTheGroupedCode) {
  script.returnValue = 1314;
  script.systemMessage = "A required privilege is not held by the client. \r\n";
  EXPECT_EQ(Close(), 1314);
  EXPECT_EQ(errorText, std::string("PC Close Down Failed: A required privilege is not held by the "
                                   "client [1") +
                           ThousandSeparator() + "314]");
  EXPECT_EQ(script.log.at(19), "SystemMessage(1314)");

  // A code the system has no text for.
  WmiScript unknown;
  unknown.returnValue = 21;
  FakeWmi fake(unknown);
  EXPECT_EQ(WmiCloseWin(fake, "", "", "", true, errorText), 21);
  EXPECT_EQ(errorText, "PC Close Down Failed:  [21]");
}

TEST(SWbemLocator, ConnectsLazilyOnceAndAssertsWhenNoLocatorCanBeHad) {
  WmiScript script;
  FakeWmi wmi(script);
  {
    TSWbemLocator locator(nullptr, wmi);
    EXPECT_TRUE(script.log.empty());
    auto first = locator.DefaultInterface();
    auto second = locator.DefaultInterface();
    EXPECT_EQ(first, second);
    EXPECT_THAT(script.log, ElementsAre("GetActiveObject()", "CreateObject()", "QueryLocator()"));
    locator.Disconnect();
    EXPECT_FALSE(locator.Connected());
    // The caller's references keep the locator alive past the disconnect.
    EXPECT_EQ(script.log.size(), 3u);
  }
  EXPECT_EQ(script.live, 0);

  script.createNothing = true;
  TSWbemLocator locator(nullptr, wmi);
  try {
    locator.DefaultInterface();
    ADD_FAILURE() << "no assertion";
  } catch (const EAssertionFailed& e) {
    EXPECT_THAT(e.Message(),
                AllOf(StartsWith("DefaultInterface is NULL. Component is not connected to Server. "
                                 "You must call 'Connect' or 'ConnectTo' before this operation "
                                 "(WbemScripting_TLB.cpp, line "),
                      EndsWith(")")));
  }

  std::string text;
  EXPECT_EQ(WmiCloseWin(wmi, "", "", "", true, text), -1);
  EXPECT_EQ(text, "Exception in WmiCloseWin");
}

#ifndef _WIN32
TEST(WmiCloseWinNative, WithoutWmiTheRequestFailsLikeACOMError) {
  std::string text;
  EXPECT_EQ(WmiCloseWin("", "", "", true, text), -1);
  EXPECT_EQ(text, "Exception in WmiCloseWin");
}
#endif

}  // namespace
}  // namespace qvr
