#include "platform/FileSystem.h"

#include <vector>

namespace qvr {

bool CopyContents(OpenFile& from, OpenFile& to) {
  std::vector<char> buffer(1 << 18);
  for (;;) {
    std::uint32_t got = 0;
    std::uint32_t written = 0;
    if (!from.Read(buffer.data(), static_cast<std::uint32_t>(buffer.size()), got)) return false;
    if (got == 0) return true;
    if (!to.Write(buffer.data(), got, written)) return false;
  }
}

}  // namespace qvr
