#include "shell/win32/ComErrors.h"

#include "base/Exceptions.h"
#include "platform/SystemMessage.h"
#include "platform/Text.h"
#include "platform/win32/Bstr.h"
#include "platform/win32/SystemErrors.h"
#include "platform/win32/WinText.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>

namespace qvr {

namespace {

// The system's text for an HRESULT; a hex code when it has none.
std::string SystemText(HRESULT result) {
  std::string text = TrimSystemMessage(SystemMessage(static_cast<std::uint32_t>(result)));
  if (!text.empty()) return text;
  text = "COM error 0x";
  AppendHex(text, static_cast<std::uint32_t>(result), 8);
  return text;
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
