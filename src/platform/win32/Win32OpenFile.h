// An open file of the Windows file-system layer.
#pragma once

#include <cstdint>
#include <utility>

#include "platform/FileSystem.h"
#include "platform/win32/UniqueHandle.h"

namespace qvr {

class Win32OpenFile final : public OpenFile {
 public:
  explicit Win32OpenFile(UniqueFileHandle handle) : handle_(std::move(handle)) {}

  bool Read(void* buffer, std::uint32_t count, std::uint32_t& got) override;
  bool Write(const void* buffer, std::uint32_t count, std::uint32_t& written) override;
  bool Size(std::uint64_t& size) override;

 private:
  UniqueFileHandle handle_;
};

}  // namespace qvr
