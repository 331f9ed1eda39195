// The WMI scripting objects as the close-down routine uses them, one call per step
// of a close-down request. The Windows backend wraps the scripting library's COM
// interfaces; tests put a fake in its place that records the calls and can make
// any step fail.
//
// Every call that fails raises: EOleException for a failed WMI call, EOleSysError
// for a failed COM system call, EIntfCastError for a missing interface. Texts are
// UTF-8; the backend converts them to UTF-16, an empty text to a null string.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qvr {

// A set of named values for the scripting calls; only the Windows backend knows its
// contents. This program passes none.
class WmiNamedValueSet;

class WmiProperty {
 public:
  virtual ~WmiProperty() = default;
  virtual void SetValue(std::int32_t value) = 0;
  // The value converted to an integer; raises when it has no integer form.
  virtual std::int32_t IntegerValue() = 0;
};

class WmiObject;

class WmiMethod {
 public:
  virtual ~WmiMethod() = default;
  // InParameters, then SpawnInstance_ of that class object.
  virtual std::unique_ptr<WmiObject> SpawnInParameters(std::int32_t flags) = 0;
};

class WmiObject {
 public:
  virtual ~WmiObject() = default;
  // Methods_, then Item.
  virtual std::unique_ptr<WmiMethod> Method(const std::string& name, std::int32_t flags) = 0;
  // Properties_, then Add.
  virtual std::unique_ptr<WmiProperty> AddProperty(const std::string& name, std::int32_t cimType,
                                                   bool isArray, std::int32_t flags) = 0;
  virtual std::unique_ptr<WmiObject> ExecMethod(const std::string& name, WmiObject& inParameters,
                                                std::int32_t flags, WmiNamedValueSet* valueSet) = 0;
  // Properties_, then Item.
  virtual std::unique_ptr<WmiProperty> PropertyItem(const std::string& name,
                                                    std::int32_t flags) = 0;
};

// One enumerated element, as the enumerator hands it out.
class WmiElement {
 public:
  virtual ~WmiElement() = default;
  // Queries the element for its object interface.
  virtual std::unique_ptr<WmiObject> QueryObject() = 0;
};

class WmiEnumerator {
 public:
  virtual ~WmiEnumerator() = default;
  // Fetches one element; returns the call's result code (0 with the element set).
  // The only call that reports failure by its result instead of raising.
  virtual std::int32_t Next(std::unique_ptr<WmiElement>& element) = 0;
};

class WmiObjectSet {
 public:
  virtual ~WmiObjectSet() = default;
  virtual std::int32_t Count() = 0;
  // _NewEnum, then the query for the variant enumerator.
  virtual std::unique_ptr<WmiEnumerator> NewEnum() = 0;
};

class WmiPrivilegeSet {
 public:
  virtual ~WmiPrivilegeSet() = default;
  virtual void Add(std::int32_t privilege, bool enabled) = 0;
};

class WmiSecurity {
 public:
  virtual ~WmiSecurity() = default;
  virtual std::unique_ptr<WmiPrivilegeSet> Privileges() = 0;
};

class WmiServices {
 public:
  virtual ~WmiServices() = default;
  virtual std::unique_ptr<WmiSecurity> Security() = 0;
  virtual std::unique_ptr<WmiObjectSet> ExecQuery(const std::string& query,
                                                  const std::string& language, std::int32_t flags,
                                                  WmiNamedValueSet* valueSet) = 0;
};

class WmiLocator {
 public:
  virtual ~WmiLocator() = default;
  virtual std::unique_ptr<WmiServices> ConnectServer(
      const std::string& server, const std::string& nameSpace, const std::string& user,
      const std::string& password, const std::string& locale, const std::string& authority,
      std::int32_t securityFlags, WmiNamedValueSet* valueSet) = 0;
};

// The locator class's server object, before it is asked for the locator interface.
class WmiServerObject {
 public:
  virtual ~WmiServerObject() = default;
  virtual std::unique_ptr<WmiLocator> QueryLocator() = 0;
};

class WmiBinding {
 public:
  virtual ~WmiBinding() = default;
  // A running locator object if one is registered, else nothing; never raises.
  virtual std::unique_ptr<WmiServerObject> GetActiveObject() = 0;
  // A new locator object (in-process or local server); EOleSysError on failure.
  virtual std::unique_ptr<WmiServerObject> CreateObject() = 0;
  // The system's message text for an error code, as the message table holds it
  // (trailing line break and full stop included); empty when it has none.
  virtual std::string SystemMessage(std::uint32_t code) = 0;
  // The local computer's name, or nothing when the system cannot give it.
  virtual std::optional<std::string> ComputerName() = 0;
  // The first character of the user locale's thousands separator, if it has one.
  virtual std::optional<char> ThousandSeparator() = 0;
};

// The platform's binding: WMI on Windows; elsewhere one whose locator object
// cannot be created.
WmiBinding& DefaultWmiBinding();

}  // namespace qvr
