#include "PackerTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/TempDir.h"

namespace qvr::test {
namespace {

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

}  // namespace

std::string Tag(char kind, std::int32_t value) {
  std::string tag(1, kind);
  tag.append(std::to_string(value));
  return tag;
}

void EventLog::Attach(TQVRPacker& packer) {
  packer.OnProgress = [this](std::int32_t value) {
    progress.push_back(value);
    order.push_back(Tag('P', value));
  };
  packer.OnStatus = [this](std::int32_t code, const std::string& text) {
    statuses.emplace_back(code, text);
    order.push_back(Tag('S', code));
  };
}

bool EventLog::ProgressIsWellFormed() const {
  if (progress.empty() || progress.front() != 0) return false;
  if (!std::is_sorted(progress.begin(), progress.end())) return false;
  return progress.back() <= 100;
}

std::int32_t RunPacker(FileSystem& fs, TPackModeSet mode, const std::string& source,
                       const std::string& target, EventLog& log) {
  TQVRPacker packer(nullptr, fs);
  packer.PackModus = mode;
  packer.QuellPfad = source;
  packer.ZielPfad = target;
  log.Attach(packer);
  packer.Starten();
  return log.statuses.empty() ? -1 : log.statuses.back().first;
}

std::string FolderRecord(const std::string& name, int level) {
  return Hex(static_cast<unsigned>(name.size()) + 128, 2) + Hex(level, 2) + name;
}

std::string FileRecord(const std::string& name, int level, const std::string& data) {
  return Hex(static_cast<unsigned>(name.size()), 2) + Hex(level, 2) + name +
         Hex(static_cast<unsigned>(data.size()), 8) + data;
}

std::vector<ParsedRecord> ParseArchive(const std::string& bytes) {
  std::vector<ParsedRecord> records;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    ParsedRecord r;
    const unsigned length = std::stoul(bytes.substr(pos, 2), nullptr, 16);
    r.level = static_cast<int>(std::stoul(bytes.substr(pos + 2, 2), nullptr, 16));
    r.folder = length > 128;
    r.name = bytes.substr(pos + 4, length & 127);
    pos += 4 + (length & 127);
    if (!r.folder) {
      const std::size_t size = std::stoul(bytes.substr(pos, 8), nullptr, 16);
      r.data = bytes.substr(pos + 8, size);
      pos += 8 + size;
    }
    records.push_back(r);
  }
  return records;
}

std::string Bytes(std::size_t count, unsigned seed) {
  std::string data(count, '\0');
  unsigned state = seed * 2654435761u + 1;
  for (char& c : data) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 23);
  }
  return data;
}

std::string ExampleArchive() {
  return FolderRecord("Demo", 1) + FileRecord("a.txt", 1, "Hallo") + FolderRecord("Bilder", 1) +
         FileRecord("x.bmp", 2, Bytes(300, 7));
}

std::vector<std::pair<std::string, std::string>> TreeOf(const std::string& root) {
  namespace fs = std::filesystem;
  std::vector<std::pair<std::string, std::string>> tree;
  for (const auto& e : fs::recursive_directory_iterator(PathOf(root))) {
    const std::u8string generic = fs::relative(e.path(), PathOf(root)).generic_u8string();
    std::string relative(generic.begin(), generic.end());
    if (e.is_directory()) {
      tree.emplace_back(relative + "/", "");
    } else {
      std::ifstream in(e.path(), std::ios::binary);
      tree.emplace_back(relative, std::string(std::istreambuf_iterator<char>(in), {}));
    }
  }
  std::sort(tree.begin(), tree.end());
  return tree;
}

}  // namespace qvr::test
