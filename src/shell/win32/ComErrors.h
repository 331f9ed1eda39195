// Turns failed COM results into the runtime's exceptions, once, at the Win32 edge.
#pragma once

#include <windows.h>

#include <wrl/client.h>

namespace qvr {

// EOleSysError with the system's text for the code.
[[noreturn]] void RaiseOleSysError(HRESULT result);
// EOleSysError when result reports failure.
void OleCheck(HRESULT result);
// EOleException with the error information (description, source, help file, help
// context) that object left for a failed call on its interface iid, when it says it
// leaves such information; otherwise with the system's text for the code.
[[noreturn]] void RaiseOleException(HRESULT result, IUnknown* object, REFIID iid);
// EOleException when a call on object's Interface reported failure.
template <typename Interface>
void AutomationCheck(HRESULT result, const Microsoft::WRL::ComPtr<Interface>& object) {
  if (FAILED(result)) RaiseOleException(result, object.Get(), __uuidof(Interface));
}
// EIntfCastError.
[[noreturn]] void RaiseIntfCastError();

}  // namespace qvr
