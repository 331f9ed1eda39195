// Shared helpers of the packer tests: an event recorder that implements the packer's
// events the way an application does, hand-built archive records, and an independent
// archive parser so that tests do not check the packer with its own encoder.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "packer/PackerStatus.h"
#include "packer/QVRPacker.h"

namespace qvr::test {

// Records every event of a run in order.
struct EventLog {
  std::vector<std::int32_t> progress;
  std::vector<std::pair<std::int32_t, std::string>> statuses;
  std::vector<std::string> order;  // "P<value>" and "S<code>"

  void Attach(TQVRPacker& packer);
  // Non-decreasing, below 100 except for a final 100 (or several in a row at the end).
  bool ProgressIsWellFormed() const;
};

// "P42", "S0": an event as EventLog::order records it.
std::string Tag(char kind, std::int32_t value);

// Runs one packer and returns its status (-1 when no status event came).
std::int32_t RunPacker(FileSystem& fs, TPackModeSet mode, const std::string& source,
                       const std::string& target, EventLog& log);

// Hand-encoded records.
std::string FolderRecord(const std::string& name, int level);
std::string FileRecord(const std::string& name, int level, const std::string& data);

struct ParsedRecord {
  bool folder = false;
  int level = 0;
  std::string name;
  std::string data;
  bool operator==(const ParsedRecord&) const = default;
};
std::vector<ParsedRecord> ParseArchive(const std::string& bytes);

// The worked example: Demo holding a.txt (5 bytes) and Bilder with x.bmp (300 bytes).
std::string ExampleArchive();
std::string Bytes(std::size_t count, unsigned seed);

// Every file and folder below `root` (relative names with '/', folders ending in '/'),
// mapped to the file content.
std::vector<std::pair<std::string, std::string>> TreeOf(const std::string& root);

}  // namespace qvr::test
