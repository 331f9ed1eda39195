// The archive tool `qvrpack`: packs a folder, unpacks an archive and lists an archive's
// records, with the packer's status code as the exit status.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "packer/QVRPacker.h"
#include "platform/FileSystem.h"

namespace qvr::tool {

// Exit statuses beyond the packer's own codes (0, 1-5, 10-14).
inline constexpr int kExitUsage = 2;
inline constexpr int kExitMalformedArchive = 20;
inline constexpr int kExitFolderNotCreated = 21;

// The packer's events as the console shows them: a progress bar on a terminal, and the
// status code with its text and what went wrong on failure.
class ConsoleEvents {
 public:
  ConsoleEvents(std::ostream& err, bool progressBar);
  void Attach(TQVRPacker& packer);
  void Progress(std::int32_t percent);
  void Status(std::int32_t code, const std::string& text);
  // Ends the progress line, if one is shown, so that messages start on a line of their own.
  void EndLine();
  std::int32_t StatusCode() const { return status_; }

 private:
  std::ostream& err_;
  bool progressBar_;
  bool lineOpen_ = false;
  std::int32_t lastPercent_ = -1;
  std::int32_t status_ = -1;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
};

// Runs the tool with its arguments (without the program name). `terminal` tells whether
// `err` is an interactive terminal.
int RunQvrPack(const std::vector<std::string>& args, FileSystem& fs, std::ostream& out,
               std::ostream& err, bool terminal);

// "1.5 MiB" and the like.
std::string FormatBytes(std::int64_t bytes);

}  // namespace qvr::tool
