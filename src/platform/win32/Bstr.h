// Owns one BSTR. An empty text is the null BSTR, which automation treats as "".
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <new>
#include <string>
#include <utility>

namespace qvr {

class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::wstring& text) {
    if (!text.empty()) {
      value_ = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
      if (value_ == nullptr) throw std::bad_alloc();
    }
  }
  ~Bstr() { SysFreeString(value_); }
  Bstr(Bstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) {
      SysFreeString(value_);
      value_ = std::exchange(other.value_, nullptr);
    }
    return *this;
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;

  BSTR Get() const { return value_; }
  // For out parameters: frees the held string and hands out the slot.
  BSTR* Receive() {
    SysFreeString(value_);
    value_ = nullptr;
    return &value_;
  }
  // Hands the string to the caller of a COM method, who frees it.
  BSTR Detach() { return std::exchange(value_, nullptr); }
  std::wstring Text() const { return value_ ? std::wstring(value_, SysStringLen(value_)) : L""; }

 private:
  BSTR value_ = nullptr;
};

}  // namespace qvr
