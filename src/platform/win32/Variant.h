// Owns one VARIANT and whatever it holds; cleared on destruction.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <cstdint>

namespace qvr {

class Variant {
 public:
  Variant() { VariantInit(&value_); }
  explicit Variant(std::int32_t number) : Variant() {
    value_.vt = VT_I4;
    value_.lVal = number;
  }
  ~Variant() { VariantClear(&value_); }
  Variant(Variant&& other) noexcept : Variant() { Swap(other); }
  Variant& operator=(Variant&& other) noexcept {
    if (this != &other) {
      VariantClear(&value_);
      Swap(other);
    }
    return *this;
  }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;

  VARIANT* Get() { return &value_; }
  const VARIANT* Get() const { return &value_; }
  // For out parameters: clears the held value and hands out the slot.
  VARIANT* Receive() {
    VariantClear(&value_);
    return &value_;
  }

 private:
  // A VARIANT is plain data, so a bitwise exchange moves ownership.
  void Swap(Variant& other) noexcept {
    VARIANT held = value_;
    value_ = other.value_;
    other.value_ = held;
  }
  VARIANT value_;
};

}  // namespace qvr
