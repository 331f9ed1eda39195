#include "framework/win32/Win32Accessible.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "framework/win32/Win32Common.h"
#include "platform/win32/Bstr.h"
#include "platform/win32/Variant.h"
#include "platform/win32/WinText.h"

namespace qvr {

using Microsoft::WRL::ComPtr;

// Interface ids through __uuidof throughout: the IID_ symbols of the system's import
// libraries clash when two of them define the same one.

const std::vector<DescribeAccessible>& AccessibleSource::Elements() const {
  static const std::vector<DescribeAccessible> none;
  return none;
}

namespace {

// Elements follow the child windows, which the standard object numbers from 1.
LONG ElementChildId(const AccessibleSource& source, std::size_t element) {
  return static_cast<LONG>(source.ChildWindowCount() + 1 + element);
}

LONG SystemRole(AccessibleRole role) {
  switch (role) {
    case AccessibleRole::ProgressBar:
      return ROLE_SYSTEM_PROGRESSBAR;
  }
  return ROLE_SYSTEM_CLIENT;
}

DWORD WinEvent(AccessibleEvent event) {
  switch (event) {
    case AccessibleEvent::ValueChanged:
      return EVENT_OBJECT_VALUECHANGE;
    case AccessibleEvent::Shown:
      return EVENT_OBJECT_SHOW;
    case AccessibleEvent::Hidden:
      return EVENT_OBJECT_HIDE;
  }
  return EVENT_OBJECT_VALUECHANGE;
}

RECT ScreenRect(HWND window, const TBounds& bounds) {
  POINT origin{bounds.Left, bounds.Top};
  ClientToScreen(window, &origin);
  return {origin.x, origin.y, origin.x + bounds.Width, origin.y + bounds.Height};
}

// The body of a COM method: nothing unwinds into the caller, who learns of an error
// as E_FAIL while the error itself goes to the application's error handling.
template <typename Body>
HRESULT ComGuarded(Body&& body) noexcept {
  return Guarded(nullptr, std::forward<Body>(body), [] { return E_FAIL; });
}

// A text property: S_FALSE and no string when there is none.
HRESULT TextProperty(const std::string& text, BSTR* out) {
  *out = Bstr(Utf8ToWide(text)).Detach();
  return *out != nullptr ? S_OK : S_FALSE;
}

HRESULT NumberProperty(LONG number, VARIANT* out) {
  VariantInit(out);
  out->vt = VT_I4;
  out->lVal = number;
  return S_OK;
}

// Copies `from` into the caller's VARIANT.
HRESULT CopyOut(const Variant& from, VARIANT* out) {
  VariantInit(out);
  return VariantCopy(out, const_cast<VARIANT*>(from.Get()));
}

// The object's tie to its window, shared with its clones and cut when the window goes.
struct SourceLink {
  const AccessibleSource* source;
};

}  // namespace

// The standard object of the client area, with the window's role, without its
// decoration and with its windowless elements as simple children after the windows.
// Used on the window's thread only, like every object of a single-threaded apartment.
class AccessibleClientAreaObject final : public IAccessible,
                                         public IEnumVARIANT,
                                         public IOleWindow {
 public:
  AccessibleClientAreaObject(HWND window, ComPtr<IAccessible> standard,
                             std::shared_ptr<SourceLink> link, std::size_t cursor = 0)
      : window_(window), standard_(std::move(standard)), link_(std::move(link)), cursor_(cursor) {}

  void Disconnect() { link_->source = nullptr; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
      *out = static_cast<IAccessible*>(this);
    } else if (iid == __uuidof(IEnumVARIANT)) {
      *out = static_cast<IEnumVARIANT*>(this);
    } else if (iid == __uuidof(IOleWindow)) {
      *out = static_cast<IOleWindow*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
  }

  // Screen readers and the system's bridges call the IAccessible methods directly;
  // late binding through IDispatch is not offered.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return standard_->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    return ComGuarded([&] {
      if (count == nullptr) return E_POINTER;
      *count = static_cast<long>(Children().size());
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    return ComGuarded([&] {
      if (out == nullptr) return E_POINTER;
      if (!Element(child)) return standard_->get_accChild(child, out);
      *out = nullptr;
      return S_FALSE;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* out) override {
    return ComGuarded([&] {
      if (out == nullptr) return E_POINTER;
      const auto element = Element(child);
      return element ? TextProperty(element->name, out) : standard_->get_accName(child, out);
    });
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* out) override {
    return ComGuarded([&] {
      if (out == nullptr) return E_POINTER;
      const auto element = Element(child);
      return element ? TextProperty(element->value, out) : standard_->get_accValue(child, out);
    });
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* out) override {
    return NoTextForElements(child, out, &IAccessible::get_accDescription);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* out) override {
    return NoTextForElements(child, out, &IAccessible::get_accHelp);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* out) override {
    return NoTextForElements(child, out, &IAccessible::get_accKeyboardShortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* out) override {
    return NoTextForElements(child, out, &IAccessible::get_accDefaultAction);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* out) override {
    return ComGuarded([&] {
      if (out == nullptr) return E_POINTER;
      if (const auto element = Element(child))
        return NumberProperty(SystemRole(element->role), out);
      const AccessibleSource* source = link_->source;
      const bool self = child.vt == VT_I4 && child.lVal == CHILDID_SELF;
      if (self && source != nullptr && source->ClientRole() != 0) {
        return NumberProperty(source->ClientRole(), out);
      }
      return standard_->get_accRole(child, out);
    });
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* out) override {
    return ComGuarded([&] {
      if (out == nullptr) return E_POINTER;
      const auto element = Element(child);
      if (!element) return standard_->get_accState(child, out);
      return NumberProperty(element->visible ? 0 : STATE_SYSTEM_INVISIBLE, out);
    });
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return ComGuarded([&] {
      if (file == nullptr || topic == nullptr) return E_POINTER;
      if (!Element(child)) return standard_->get_accHelpTopic(file, child, topic);
      *file = nullptr;
      *topic = -1;
      return S_FALSE;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    return standard_->get_accFocus(focus);
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    return standard_->get_accSelection(selection);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
    return ComGuarded([&] {
      return Element(child) ? DISP_E_MEMBERNOTFOUND : standard_->accSelect(flags, child);
    });
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                        VARIANT child) override {
    return ComGuarded([&] {
      if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) {
        return E_POINTER;
      }
      const auto element = Element(child);
      if (!element) return standard_->accLocation(left, top, width, height, child);
      const RECT r = ScreenRect(window_, element->bounds);
      *left = r.left;
      *top = r.top;
      *width = r.right - r.left;
      *height = r.bottom - r.top;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return ComGuarded([&]() -> HRESULT {
      if (end == nullptr) return E_POINTER;
      VariantInit(end);
      const bool fromSelf = start.vt == VT_I4 && start.lVal == CHILDID_SELF;
      if (fromSelf && (direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD)) {
        const std::vector<Variant> children = Children();
        if (children.empty()) return S_FALSE;
        return CopyOut(direction == NAVDIR_FIRSTCHILD ? children.front() : children.back(), end);
      }
      if (!Element(start)) return standard_->accNavigate(direction, start, end);
      if (direction != NAVDIR_NEXT && direction != NAVDIR_PREVIOUS) return S_FALSE;
      const std::vector<Variant> children = Children();
      const auto at = std::find_if(children.begin(), children.end(), [&](const Variant& c) {
        return c.Get()->vt == VT_I4 && c.Get()->lVal == start.lVal;
      });
      const auto index = at - children.begin();
      const auto next = direction == NAVDIR_NEXT ? index + 1 : index - 1;
      if (next < 0 || next >= static_cast<std::ptrdiff_t>(children.size())) return S_FALSE;
      return CopyOut(children[static_cast<std::size_t>(next)], end);
    });
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* hit) override {
    return ComGuarded([&]() -> HRESULT {
      if (hit == nullptr) return E_POINTER;
      Variant found;
      const HRESULT result = standard_->accHitTest(x, y, found.Receive());
      if (result != S_OK) {
        VariantInit(hit);
        return result;
      }
      const VARIANT& v = *found.Get();
      const bool self = v.vt == VT_I4 && v.lVal == CHILDID_SELF;
      // On the client area itself a windowless element may lie; decoration is passed over.
      if (self || IsDecoration(found)) {
        const auto element = ElementAt(x, y);
        return NumberProperty(element ? *element : CHILDID_SELF, hit);
      }
      return CopyOut(found, hit);
    });
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    return ComGuarded([&] {
      return Element(child) ? DISP_E_MEMBERNOTFOUND : standard_->accDoDefaultAction(child);
    });
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return standard_->put_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return standard_->put_accValue(child, value);
  }

  // The children in order, as AccessibleChildren and the system's bridges read them.
  HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override {
    return ComGuarded([&]() -> HRESULT {
      if (out == nullptr || (fetched == nullptr && count != 1)) return E_POINTER;
      const std::vector<Variant> children = Children();
      ULONG n = 0;
      for (; n < count && cursor_ < children.size(); ++n, ++cursor_) {
        if (const HRESULT copied = CopyOut(children[cursor_], &out[n]); FAILED(copied)) {
          for (ULONG i = 0; i < n; ++i) VariantClear(&out[i]);
          return copied;
        }
      }
      if (fetched != nullptr) *fetched = n;
      return n == count ? S_OK : S_FALSE;
    });
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    return ComGuarded([&] {
      const std::size_t total = Children().size();
      const bool all = cursor_ + count <= total;
      cursor_ = std::min<std::size_t>(cursor_ + count, total);
      return all ? S_OK : S_FALSE;
    });
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    cursor_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
    return ComGuarded([&] {
      if (out == nullptr) return E_POINTER;
      *out = new AccessibleClientAreaObject(window_, standard_, link_, cursor_);
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (window == nullptr) return E_POINTER;
    *window = window_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

 private:
  ~AccessibleClientAreaObject() = default;

  // The element a child id names, described now; none for the object itself, a child
  // window, a removed element or once the window is gone.
  std::optional<AccessibleElement> Element(const VARIANT& child) const {
    const AccessibleSource* source = link_->source;
    if (source == nullptr || child.vt != VT_I4) return std::nullopt;
    const LONG first = ElementChildId(*source, 0);
    if (child.lVal < first) return std::nullopt;
    const auto index = static_cast<std::size_t>(child.lVal - first);
    const std::vector<DescribeAccessible>& elements = source->Elements();
    if (index >= elements.size() || !elements[index]) return std::nullopt;
    return elements[index]();
  }

  // The child id of the visible element at a point on the screen.
  std::optional<LONG> ElementAt(long x, long y) const {
    const AccessibleSource* source = link_->source;
    if (source == nullptr) return std::nullopt;
    const std::vector<DescribeAccessible>& elements = source->Elements();
    for (std::size_t i = 0; i < elements.size(); ++i) {
      if (!elements[i]) continue;
      const AccessibleElement element = elements[i]();
      const RECT r = ScreenRect(window_, element.bounds);
      if (element.visible && x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
        return ElementChildId(*source, i);
      }
    }
    return std::nullopt;
  }

  std::vector<Variant> StandardChildren() const {
    std::vector<Variant> children;
    ComPtr<IEnumVARIANT> each;
    if (SUCCEEDED(standard_.As(&each)) && SUCCEEDED(each->Reset())) {
      Variant child;
      ULONG fetched = 0;
      while (each->Next(1, child.Receive(), &fetched) == S_OK && fetched == 1) {
        children.push_back(std::move(child));
      }
      return children;
    }
    // Without an enumerator the children are numbered from 1.
    long count = 0;
    if (SUCCEEDED(standard_->get_accChildCount(&count))) {
      for (long id = 1; id <= count; ++id) children.emplace_back(static_cast<std::int32_t>(id));
    }
    return children;
  }

  // The standard object's children without decoration, then the elements.
  std::vector<Variant> Children() const {
    std::vector<Variant> children = StandardChildren();
    std::erase_if(children, [this](const Variant& child) { return IsDecoration(child); });
    if (const AccessibleSource* source = link_->source) {
      const std::vector<DescribeAccessible>& elements = source->Elements();
      for (std::size_t i = 0; i < elements.size(); ++i) {
        if (elements[i])
          children.emplace_back(static_cast<std::int32_t>(ElementChildId(*source, i)));
      }
    }
    return children;
  }

  bool IsDecoration(const Variant& child) const {
    const AccessibleSource* source = link_->source;
    if (source == nullptr) return false;
    const VARIANT& v = *child.Get();
    ComPtr<IAccessible> object;
    if (v.vt == VT_DISPATCH && v.pdispVal != nullptr) {
      v.pdispVal->QueryInterface(__uuidof(IAccessible),
                                 reinterpret_cast<void**>(object.GetAddressOf()));
    } else if (v.vt == VT_I4 && v.lVal != CHILDID_SELF) {
      ComPtr<IDispatch> dispatch;
      if (standard_->get_accChild(v, dispatch.GetAddressOf()) == S_OK && dispatch) {
        dispatch.As(&object);
      }
    }
    HWND window = nullptr;
    return object && SUCCEEDED(WindowFromAccessibleObject(object.Get(), &window)) &&
           window != window_ && source->IsDecoration(window);
  }

  // A text property that elements do not have.
  HRESULT NoTextForElements(VARIANT child, BSTR* out,
                            HRESULT (STDMETHODCALLTYPE IAccessible::*standard)(VARIANT, BSTR*)) {
    return ComGuarded([&] {
      if (out == nullptr) return E_POINTER;
      if (!Element(child)) return (standard_.Get()->*standard)(child, out);
      *out = nullptr;
      return S_FALSE;
    });
  }

  HWND window_;
  ComPtr<IAccessible> standard_;
  std::shared_ptr<SourceLink> link_;
  std::size_t cursor_;
  LONG refs_ = 1;
};

AccessibleClientArea::AccessibleClientArea(const AccessibleSource& source) : source_(source) {}

AccessibleClientArea::~AccessibleClientArea() {
  if (object_) object_->Disconnect();
}

LRESULT AccessibleClientArea::Answer(HWND window, WPARAM wParam, LPARAM lParam) {
  if (static_cast<DWORD>(lParam) != static_cast<DWORD>(OBJID_CLIENT)) return 0;
  if (!object_) {
    ComPtr<IAccessible> standard;
    if (FAILED(CreateStdAccessibleObject(window, OBJID_CLIENT, __uuidof(IAccessible),
                                         reinterpret_cast<void**>(standard.GetAddressOf())))) {
      return 0;
    }
    object_.Attach(new AccessibleClientAreaObject(window, std::move(standard),
                                                  std::make_shared<SourceLink>(&source_)));
  }
  // A failure leaves the client area to the system's standard object.
  const LRESULT answer =
      LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(object_.Get()));
  return answer > 0 ? answer : 0;
}

void AccessibleClientArea::Notify(HWND window, std::size_t element, AccessibleEvent event) const {
  NotifyWinEvent(WinEvent(event), window, OBJID_CLIENT, ElementChildId(source_, element));
}

}  // namespace qvr
