#include "shell/win32/ComErrors.h"

#include "base/Exceptions.h"
#include "platform/win32/WinText.h"
#include "shell/win32/Bstr.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <cstdio>
#include <string>

namespace qvr {

namespace {

// The system's text for an HRESULT, trimmed of its line break; a hex code when none.
std::string SystemText(HRESULT result) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length > 0 && buffer ? std::wstring(buffer, length) : std::wstring();
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.pop_back();
  }
  if (!text.empty()) return WideToUtf8(text);
  char code[32];
  std::snprintf(code, sizeof code, "COM error 0x%08lX", static_cast<unsigned long>(result));
  return code;
}

}  // namespace

void RaiseOleSysError(HRESULT result) {
  throw EOleSysError(SystemText(result), result);
}

void OleCheck(HRESULT result) {
  if (FAILED(result)) RaiseOleSysError(result);
}

void RaiseOleException(HRESULT result, IUnknown* object, REFIID iid) {
  Microsoft::WRL::ComPtr<ISupportErrorInfo> support;
  Microsoft::WRL::ComPtr<IErrorInfo> info;
  std::string description, source, helpFile;
  DWORD helpContext = 0;
  // The thread's error object belongs to this failure only when the object says so.
  const bool supports =
      object != nullptr &&
      SUCCEEDED(object->QueryInterface(IID_ISupportErrorInfo,
                                       reinterpret_cast<void**>(support.GetAddressOf()))) &&
      support->InterfaceSupportsErrorInfo(iid) == S_OK;
  if (supports && GetErrorInfo(0, &info) == S_OK && info) {
    Bstr text;
    if (SUCCEEDED(info->GetDescription(text.Receive()))) description = WideToUtf8(text.Text());
    if (SUCCEEDED(info->GetSource(text.Receive()))) source = WideToUtf8(text.Text());
    if (SUCCEEDED(info->GetHelpFile(text.Receive()))) helpFile = WideToUtf8(text.Text());
    info->GetHelpContext(&helpContext);
  }
  if (description.empty()) description = SystemText(result);
  throw EOleException(description, result, source, helpFile,
                      static_cast<std::int32_t>(helpContext));
}

void RaiseIntfCastError() {
  throw EIntfCastError("Interface not supported");
}

}  // namespace qvr
