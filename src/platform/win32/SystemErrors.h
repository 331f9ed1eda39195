// The one place that turns a system error code (a Win32 error code or an HRESULT)
// into text.
#pragma once

#include <cstdint>
#include <string>

namespace qvr {

// The system's message for `code` in UTF-8, as its message table words it (trailing
// line break and full stop included); empty when it has none.
std::string SystemMessage(std::uint32_t code);

// The message trimmed to stand inside a sentence (TrimSystemMessage); "Windows error N"
// when the system has none.
std::string SystemErrorText(std::uint32_t code);

}  // namespace qvr
