// The shell's own link object behind TShortcutLink.
#include "shell/ShellLinkBinding.h"

#include "platform/win32/ComInitializer.h"
#include "platform/win32/WinText.h"
#include "shell/win32/ComErrors.h"

#include <windows.h>

#include <objidl.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <memory>

namespace qvr {

namespace {

using Microsoft::WRL::ComPtr;

// The shortcut unit joins the main thread to a single-threaded apartment for the
// program's life; CreateShortcut relies on it. Balanced at exit when it succeeded.
const ComInitializer gShellApartment;

struct ItemIdListFree {
  void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};
using ItemIdList = std::unique_ptr<ITEMIDLIST, ItemIdListFree>;

class Win32ShellLink final : public ShellLinkObject {
 public:
  explicit Win32ShellLink(ComPtr<IShellLinkA> link) : link_(std::move(link)) {}

  // The link's properties go to the shell as ANSI text.
  void SetPath(const std::string& path) override { link_->SetPath(Utf8ToAnsi(path).c_str()); }
  void SetWorkingDirectory(const std::string& folder) override {
    link_->SetWorkingDirectory(Utf8ToAnsi(folder).c_str());
  }
  void SetArguments(const std::string& arguments) override {
    link_->SetArguments(Utf8ToAnsi(arguments).c_str());
  }
  void SetDescription(const std::string& description) override {
    link_->SetDescription(Utf8ToAnsi(description).c_str());
  }
  void SetShowCmd(std::int32_t showCmd) override { link_->SetShowCmd(showCmd); }
  void SetHotkey(std::uint16_t hotkey) override { link_->SetHotkey(hotkey); }
  void SetIconLocation(const std::string& file, int index) override {
    link_->SetIconLocation(Utf8ToAnsi(file).c_str(), index);
  }
  std::int32_t Save(const std::string& fileName, bool remember) override {
    ComPtr<IPersistFile> file;
    if (FAILED(link_.As(&file))) RaiseIntfCastError();
    const std::wstring wide = Utf8ToWide(fileName);
    return file->Save(wide.c_str(), remember ? TRUE : FALSE);
  }

 private:
  ComPtr<IShellLinkA> link_;
};

class Win32ShellLinkBinding final : public ShellLinkBinding {
 public:
  std::unique_ptr<ShellLinkObject> CreateShellLink() override {
    ComPtr<IUnknown> object;
    OleCheck(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_IUnknown, reinterpret_cast<void**>(object.GetAddressOf())));
    ComPtr<IShellLinkA> link;
    if (FAILED(object.As(&link))) RaiseIntfCastError();
    return std::make_unique<Win32ShellLink>(std::move(link));
  }

  std::optional<std::string> SpecialFolderPath(NativeWindow owner, int folder) override {
    ITEMIDLIST* raw = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(static_cast<HWND>(owner), folder, &raw))) {
      return std::nullopt;
    }
    const ItemIdList list(raw);
    // A virtual folder has no file-system path: the buffer stays empty.
    wchar_t buffer[MAX_PATH] = {};
    SHGetPathFromIDListW(list.get(), buffer);
    buffer[MAX_PATH - 1] = L'\0';
    return WideToUtf8(buffer);
  }
};

}  // namespace

ShellLinkBinding& DefaultShellLinkBinding() {
  static Win32ShellLinkBinding binding;
  return binding;
}

}  // namespace qvr
