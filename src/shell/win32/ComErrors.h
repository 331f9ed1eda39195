// Turns failed COM results into the runtime's exceptions, once, at the Win32 edge.
#pragma once

#include <windows.h>


namespace qvr {

// EOleSysError with the system's text for the code.
[[noreturn]] void RaiseOleSysError(HRESULT result);
// EOleSysError when result reports failure.
void OleCheck(HRESULT result);
// EOleException with the error information that the failed automation call left
// (description, source, help file, help context), or the system's text when it left none.
[[noreturn]] void RaiseOleException(HRESULT result);
// EOleException when result reports failure.
void WmiCheck(HRESULT result);
// EIntfCastError.
[[noreturn]] void RaiseIntfCastError();

}  // namespace qvr
