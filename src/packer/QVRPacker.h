// TQVRPacker: packs a folder tree into one archive file and unpacks such an archive
// into a folder. Configured through its properties, run by one synchronous call,
// Starten, which reports progress through OnProgress and ends every normal run with
// exactly one OnStatus.
//
// The run state lives at file scope of QVRPacker.cpp (one static transfer buffer),
// so only one run can be active in a process at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "framework/Component.h"
#include "platform/FileSystem.h"

namespace qvr {

enum TPackModeSet : std::uint8_t { Packen = 0, Entpacken = 1 };

using TOnProgress = std::function<void(std::int32_t Progress)>;
using TOnStatus = std::function<void(std::int32_t StatusCode, const std::string& StatusText)>;

class TQVRPacker : public TComponent {
 public:
  // The packer works on `fileSystem`, the platform's own unless a test injects one.
  explicit TQVRPacker(TComponent* owner = nullptr, FileSystem& fileSystem = SystemFileSystem());

  std::string QuellPfad;
  std::string ZielPfad;
  TPackModeSet PackModus = Packen;
  // An event without a handler is not raised.
  TOnProgress OnProgress;
  TOnStatus OnStatus;

  void Starten();

  // The status text of a code; "" for a code outside the table.
  static std::string StatusText(std::int32_t code);

  // Lets the application process its pending window messages after every chunk.
  // The window framework installs it; without one nothing happens.
  static void SetMessagePump(std::function<void()> pump);

 private:
  FileSystem& fs_;
};

}  // namespace qvr
