// A system's message for an error code, made to stand inside a sentence of ours.
#pragma once

#include <string>
#include <string_view>

namespace qvr {

// `message` without its trailing line break, blanks and full stop.
std::string TrimSystemMessage(std::string_view message);

}  // namespace qvr
