// The Windows WMI binding's pieces that tests reach without a WMI service.
#pragma once

#include <windows.h>

#include <oleauto.h>
#include <wrl/client.h>

#include <memory>

#include "shell/WmiBinding.h"

namespace qvr {

// The close-down routine's view of a result set's variant enumerator.
std::unique_ptr<WmiEnumerator> MakeWin32WmiEnumerator(
    Microsoft::WRL::ComPtr<IEnumVARIANT> enumerator);

}  // namespace qvr
