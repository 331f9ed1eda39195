// The WMI scripting library behind the close-down routine, through its typed
// automation interfaces.
#include "shell/win32/Win32WmiBinding.h"

#include "base/Exceptions.h"
#include "platform/win32/Bstr.h"
#include "platform/win32/SystemErrors.h"
#include "platform/win32/Variant.h"
#include "platform/win32/WinText.h"
#include "shell/win32/ComErrors.h"

#include <windows.h>

#include <oleauto.h>
#include <wbemdisp.h>
#include <wrl/client.h>

#include <utility>

namespace qvr {

using Microsoft::WRL::ComPtr;

// Only this backend can build a named-value set; the portable code passes pointers.
class WmiNamedValueSet {
 public:
  explicit WmiNamedValueSet(ComPtr<IDispatch> set) : set_(std::move(set)) {}
  IDispatch* Get() const { return set_.Get(); }

 private:
  ComPtr<IDispatch> set_;
};

namespace {

Bstr ToBstr(const std::string& text) {
  return Bstr(Utf8ToWide(text));
}

IDispatch* DispatchOf(const WmiNamedValueSet* set) {
  return set ? set->Get() : nullptr;
}

template <typename Interface>
ComPtr<Interface> QueryOrRaise(IUnknown* object) {
  ComPtr<Interface> result;
  if (object == nullptr ||
      FAILED(object->QueryInterface(__uuidof(Interface),
                                    reinterpret_cast<void**>(result.GetAddressOf())))) {
    RaiseIntfCastError();
  }
  return result;
}

class Win32WmiProperty final : public WmiProperty {
 public:
  explicit Win32WmiProperty(ComPtr<ISWbemProperty> property) : property_(std::move(property)) {}

  void SetValue(std::int32_t value) override {
    Variant number(value);
    AutomationCheck(property_->put_Value(number.Get()), property_);
  }

  std::int32_t IntegerValue() override {
    Variant value;
    AutomationCheck(property_->get_Value(value.Receive()), property_);
    Variant converted;
    if (FAILED(VariantChangeType(converted.Get(), value.Get(), 0, VT_I4))) {
      throw EConvertError("The value has no integer form");
    }
    return converted.Get()->lVal;
  }

 private:
  ComPtr<ISWbemProperty> property_;
};

class Win32WmiObject;

class Win32WmiMethod final : public WmiMethod {
 public:
  explicit Win32WmiMethod(ComPtr<ISWbemMethod> method) : method_(std::move(method)) {}
  std::unique_ptr<WmiObject> SpawnInParameters(std::int32_t flags) override;

 private:
  ComPtr<ISWbemMethod> method_;
};

class Win32WmiObject final : public WmiObject {
 public:
  explicit Win32WmiObject(ComPtr<ISWbemObject> object) : object_(std::move(object)) {}

  std::unique_ptr<WmiMethod> Method(const std::string& name, std::int32_t flags) override {
    ComPtr<ISWbemMethodSet> methods;
    AutomationCheck(object_->get_Methods_(&methods), object_);
    ComPtr<ISWbemMethod> method;
    AutomationCheck(methods->Item(ToBstr(name).Get(), flags, &method), methods);
    return std::make_unique<Win32WmiMethod>(std::move(method));
  }

  std::unique_ptr<WmiProperty> AddProperty(const std::string& name, std::int32_t cimType,
                                           bool isArray, std::int32_t flags) override {
    const ComPtr<ISWbemPropertySet> properties = Properties();
    ComPtr<ISWbemProperty> property;
    AutomationCheck(properties->Add(ToBstr(name).Get(), static_cast<WbemCimtypeEnum>(cimType),
                                    isArray ? VARIANT_TRUE : VARIANT_FALSE, flags, &property),
                    properties);
    return std::make_unique<Win32WmiProperty>(std::move(property));
  }

  std::unique_ptr<WmiObject> ExecMethod(const std::string& name, WmiObject& inParameters,
                                        std::int32_t flags, WmiNamedValueSet* valueSet) override {
    ComPtr<ISWbemObject> outParameters;
    AutomationCheck(object_->ExecMethod_(ToBstr(name).Get(), Native(inParameters), flags,
                                         DispatchOf(valueSet), &outParameters),
                    object_);
    return std::make_unique<Win32WmiObject>(std::move(outParameters));
  }

  std::unique_ptr<WmiProperty> PropertyItem(const std::string& name, std::int32_t flags) override {
    const ComPtr<ISWbemPropertySet> properties = Properties();
    ComPtr<ISWbemProperty> property;
    AutomationCheck(properties->Item(ToBstr(name).Get(), flags, &property), properties);
    return std::make_unique<Win32WmiProperty>(std::move(property));
  }

 private:
  ComPtr<ISWbemPropertySet> Properties() {
    ComPtr<ISWbemPropertySet> properties;
    AutomationCheck(object_->get_Properties_(&properties), object_);
    return properties;
  }
  // Only objects that this backend made carry a scripting object.
  static ISWbemObject* Native(WmiObject& object) {
    auto* own = dynamic_cast<Win32WmiObject*>(&object);
    if (own == nullptr) RaiseIntfCastError();
    return own->object_.Get();
  }
  ComPtr<ISWbemObject> object_;
};

std::unique_ptr<WmiObject> Win32WmiMethod::SpawnInParameters(std::int32_t flags) {
  ComPtr<ISWbemObject> parametersClass;
  AutomationCheck(method_->get_InParameters(&parametersClass), method_);
  // A method without input parameters has no class to spawn from.
  if (!parametersClass) RaiseOleSysError(E_POINTER);
  ComPtr<ISWbemObject> instance;
  AutomationCheck(parametersClass->SpawnInstance_(flags, &instance), parametersClass);
  return std::make_unique<Win32WmiObject>(std::move(instance));
}

class Win32WmiElement final : public WmiElement {
 public:
  explicit Win32WmiElement(Variant element) : element_(std::move(element)) {}

  std::unique_ptr<WmiObject> QueryObject() override {
    const VARIANT* value = element_.Get();
    IUnknown* object = nullptr;
    if (value->vt == VT_DISPATCH) object = value->pdispVal;
    if (value->vt == VT_UNKNOWN) object = value->punkVal;
    return std::make_unique<Win32WmiObject>(QueryOrRaise<ISWbemObject>(object));
  }

 private:
  Variant element_;
};

class Win32WmiEnumerator final : public WmiEnumerator {
 public:
  explicit Win32WmiEnumerator(ComPtr<IEnumVARIANT> enumerator)
      : enumerator_(std::move(enumerator)) {}

  std::int32_t Next(std::unique_ptr<WmiElement>& element) override {
    Variant fetched;
    ULONG count = 0;
    const HRESULT result = enumerator_->Next(1, fetched.Receive(), &count);
    // S_OK with nothing fetched is an empty result, not an element to query.
    if (result == S_OK && count == 1 && fetched.Get()->vt != VT_EMPTY) {
      element = std::make_unique<Win32WmiElement>(std::move(fetched));
    }
    return result;
  }

 private:
  ComPtr<IEnumVARIANT> enumerator_;
};

class Win32WmiObjectSet final : public WmiObjectSet {
 public:
  explicit Win32WmiObjectSet(ComPtr<ISWbemObjectSet> set) : set_(std::move(set)) {}

  std::int32_t Count() override {
    LONG count = 0;
    AutomationCheck(set_->get_Count(&count), set_);
    return count;
  }

  std::unique_ptr<WmiEnumerator> NewEnum() override {
    ComPtr<IUnknown> enumerator;
    AutomationCheck(set_->get__NewEnum(&enumerator), set_);
    return MakeWin32WmiEnumerator(QueryOrRaise<IEnumVARIANT>(enumerator.Get()));
  }

 private:
  ComPtr<ISWbemObjectSet> set_;
};

class Win32WmiPrivilegeSet final : public WmiPrivilegeSet {
 public:
  explicit Win32WmiPrivilegeSet(ComPtr<ISWbemPrivilegeSet> set) : set_(std::move(set)) {}

  void Add(std::int32_t privilege, bool enabled) override {
    ComPtr<ISWbemPrivilege> added;
    AutomationCheck(set_->Add(static_cast<WbemPrivilegeEnum>(privilege),
                              enabled ? VARIANT_TRUE : VARIANT_FALSE, &added),
                    set_);
  }

 private:
  ComPtr<ISWbemPrivilegeSet> set_;
};

class Win32WmiSecurity final : public WmiSecurity {
 public:
  explicit Win32WmiSecurity(ComPtr<ISWbemSecurity> security) : security_(std::move(security)) {}

  std::unique_ptr<WmiPrivilegeSet> Privileges() override {
    ComPtr<ISWbemPrivilegeSet> privileges;
    AutomationCheck(security_->get_Privileges(&privileges), security_);
    return std::make_unique<Win32WmiPrivilegeSet>(std::move(privileges));
  }

 private:
  ComPtr<ISWbemSecurity> security_;
};

class Win32WmiServices final : public WmiServices {
 public:
  explicit Win32WmiServices(ComPtr<ISWbemServices> services) : services_(std::move(services)) {}

  std::unique_ptr<WmiSecurity> Security() override {
    ComPtr<ISWbemSecurity> security;
    AutomationCheck(services_->get_Security_(&security), services_);
    return std::make_unique<Win32WmiSecurity>(std::move(security));
  }

  std::unique_ptr<WmiObjectSet> ExecQuery(const std::string& query, const std::string& language,
                                          std::int32_t flags, WmiNamedValueSet* valueSet) override {
    ComPtr<ISWbemObjectSet> set;
    AutomationCheck(services_->ExecQuery(ToBstr(query).Get(), ToBstr(language).Get(), flags,
                                         DispatchOf(valueSet), &set),
                    services_);
    return std::make_unique<Win32WmiObjectSet>(std::move(set));
  }

 private:
  ComPtr<ISWbemServices> services_;
};

class Win32WmiLocator final : public WmiLocator {
 public:
  explicit Win32WmiLocator(ComPtr<ISWbemLocator> locator) : locator_(std::move(locator)) {}

  std::unique_ptr<WmiServices> ConnectServer(const std::string& server,
                                             const std::string& nameSpace, const std::string& user,
                                             const std::string& password, const std::string& locale,
                                             const std::string& authority,
                                             std::int32_t securityFlags,
                                             WmiNamedValueSet* valueSet) override {
    ComPtr<ISWbemServices> services;
    AutomationCheck(locator_->ConnectServer(ToBstr(server).Get(), ToBstr(nameSpace).Get(),
                                            ToBstr(user).Get(), ToBstr(password).Get(),
                                            ToBstr(locale).Get(), ToBstr(authority).Get(),
                                            securityFlags, DispatchOf(valueSet), &services),
                    locator_);
    return std::make_unique<Win32WmiServices>(std::move(services));
  }

 private:
  ComPtr<ISWbemLocator> locator_;
};

class Win32WmiServerObject final : public WmiServerObject {
 public:
  explicit Win32WmiServerObject(ComPtr<IUnknown> object) : object_(std::move(object)) {}

  std::unique_ptr<WmiLocator> QueryLocator() override {
    return std::make_unique<Win32WmiLocator>(QueryOrRaise<ISWbemLocator>(object_.Get()));
  }

 private:
  ComPtr<IUnknown> object_;
};

class Win32WmiBinding final : public WmiBinding {
 public:
  std::unique_ptr<WmiServerObject> GetActiveObject() override {
    ComPtr<IUnknown> object;
    if (FAILED(::GetActiveObject(CLSID_SWbemLocator, nullptr, &object)) || !object) return nullptr;
    return std::make_unique<Win32WmiServerObject>(std::move(object));
  }

  std::unique_ptr<WmiServerObject> CreateObject() override {
    ComPtr<IUnknown> object;
    OleCheck(CoCreateInstance(CLSID_SWbemLocator, nullptr,
                              CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                              reinterpret_cast<void**>(object.GetAddressOf())));
    return std::make_unique<Win32WmiServerObject>(std::move(object));
  }

  std::string SystemMessage(std::uint32_t code) override { return qvr::SystemMessage(code); }

  std::optional<std::string> ComputerName() override {
    wchar_t buffer[256];
    DWORD size = 256;
    if (!GetComputerNameW(buffer, &size)) return std::nullopt;
    return WideToUtf8(std::wstring_view(buffer, size));
  }

  std::optional<char> ThousandSeparator() override {
    char buffer[8] = {};
    // Only an ASCII separator is one character of UTF-8 text.
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buffer, sizeof buffer) == 0 ||
        buffer[0] == '\0' || static_cast<unsigned char>(buffer[0]) >= 0x80) {
      return std::nullopt;
    }
    return buffer[0];
  }
};

}  // namespace

std::unique_ptr<WmiEnumerator> MakeWin32WmiEnumerator(ComPtr<IEnumVARIANT> enumerator) {
  return std::make_unique<Win32WmiEnumerator>(std::move(enumerator));
}

WmiBinding& DefaultWmiBinding() {
  static Win32WmiBinding binding;
  return binding;
}

}  // namespace qvr
