// Joins the calling thread to a single-threaded COM apartment for the object's life.
// Every successful CoInitialize (S_OK, and S_FALSE when the thread was already
// initialised) must be balanced by one CoUninitialize; a failed one must not be.
#pragma once

#include <objbase.h>

#include <utility>

namespace qvr {

class ComInitializer {
 public:
  ComInitializer() : result_(CoInitialize(nullptr)) {}
  ~ComInitializer() {
    if (Succeeded()) CoUninitialize();
  }

  ComInitializer(ComInitializer&& other) noexcept
      : result_(std::exchange(other.result_, kNotInitialized)) {}
  ComInitializer& operator=(ComInitializer&& other) noexcept {
    if (this != &other) {
      if (Succeeded()) CoUninitialize();
      result_ = std::exchange(other.result_, kNotInitialized);
    }
    return *this;
  }
  ComInitializer(const ComInitializer&) = delete;
  ComInitializer& operator=(const ComInitializer&) = delete;

  // S_OK or S_FALSE: this object owes the thread one CoUninitialize.
  bool Succeeded() const { return result_ == S_OK || result_ == S_FALSE; }
  HRESULT Result() const { return result_; }

 private:
  // A moved-from object holds a failure code, so its destructor does nothing.
  static constexpr HRESULT kNotInitialized = CO_E_NOTINITIALIZED;
  HRESULT result_;
};

}  // namespace qvr
