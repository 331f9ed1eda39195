// Move-only owners of GDI handles: a memory device context, GDI objects (bitmaps,
// fonts, pens, brushes) and the selection of an object into a device context.
#pragma once

#include <windows.h>

#include <utility>

namespace qvr::gdi {

class UniqueDc {
 public:
  UniqueDc() = default;
  explicit UniqueDc(HDC dc) : dc_(dc) {}
  ~UniqueDc() {
    if (dc_ != nullptr) DeleteDC(dc_);
  }
  UniqueDc(UniqueDc&& other) noexcept : dc_(std::exchange(other.dc_, nullptr)) {}
  UniqueDc& operator=(UniqueDc&& other) noexcept {
    if (this != &other) UniqueDc(std::move(other)).Swap(*this);
    return *this;
  }
  UniqueDc(const UniqueDc&) = delete;
  UniqueDc& operator=(const UniqueDc&) = delete;

  HDC Get() const { return dc_; }
  void Swap(UniqueDc& other) noexcept { std::swap(dc_, other.dc_); }

 private:
  HDC dc_ = nullptr;
};

template <typename Handle>
class UniqueGdiObject {
 public:
  UniqueGdiObject() = default;
  explicit UniqueGdiObject(Handle handle) : handle_(handle) {}
  ~UniqueGdiObject() {
    if (handle_ != nullptr) DeleteObject(handle_);
  }
  UniqueGdiObject(UniqueGdiObject&& other) noexcept
      : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueGdiObject& operator=(UniqueGdiObject&& other) noexcept {
    if (this != &other) UniqueGdiObject(std::move(other)).Swap(*this);
    return *this;
  }
  UniqueGdiObject(const UniqueGdiObject&) = delete;
  UniqueGdiObject& operator=(const UniqueGdiObject&) = delete;

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void Swap(UniqueGdiObject& other) noexcept { std::swap(handle_, other.handle_); }

 private:
  Handle handle_ = nullptr;
};

using UniqueBitmap = UniqueGdiObject<HBITMAP>;
using UniqueFont = UniqueGdiObject<HFONT>;
using UniquePen = UniqueGdiObject<HPEN>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;

// Selects an object into a device context and puts the previous one back on scope exit,
// so that the object can be deleted afterwards.
class ScopedSelection {
 public:
  ScopedSelection() = default;
  ScopedSelection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~ScopedSelection() { Restore(); }
  ScopedSelection(ScopedSelection&& other) noexcept
      : dc_(std::exchange(other.dc_, nullptr)),
        previous_(std::exchange(other.previous_, nullptr)) {}
  ScopedSelection& operator=(ScopedSelection&& other) noexcept {
    if (this != &other) {
      Restore();
      dc_ = std::exchange(other.dc_, nullptr);
      previous_ = std::exchange(other.previous_, nullptr);
    }
    return *this;
  }
  ScopedSelection(const ScopedSelection&) = delete;
  ScopedSelection& operator=(const ScopedSelection&) = delete;

 private:
  void Restore() {
    if (dc_ != nullptr && previous_ != nullptr) SelectObject(dc_, previous_);
    dc_ = nullptr;
    previous_ = nullptr;
  }

  HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

}  // namespace qvr::gdi
