// Move-only owners of GDI handles: a memory device context, GDI objects (bitmaps,
// fonts, pens, brushes) and the selection of an object into a device context.
#pragma once

#include <windows.h>

#include <utility>

#include "platform/win32/UniqueHandle.h"

namespace qvr::gdi {

using UniqueDc = UniqueHandle<MemoryDcTraits>;

template <typename Object>
using UniqueGdiObject = UniqueHandle<GdiObjectTraits<Object>>;

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
