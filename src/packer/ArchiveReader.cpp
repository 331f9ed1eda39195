#include "packer/ArchiveReader.h"

#include <algorithm>
#include <utility>

#include "packer/PackerStatus.h"

namespace qvr::archive {

ArchiveReader::ArchiveReader(FileSystem& fs, OpenFile& file, const CodePage& codePage,
                             std::string archivePath, std::string memberRoot, const char* verb)
    : fs_(fs),
      file_(file),
      codePage_(codePage),
      archivePath_(std::move(archivePath)),
      memberRoot_(std::move(memberRoot)),
      verb_(verb),
      rules_(RulesFor(fs)),
      delimiter_(fs.Delimiter()) {}

bool ArchiveReader::Fail(std::int32_t status, const char* operation, std::string path,
                         std::string text) {
  failure_ = {status, operation, std::move(path), std::move(text)};
  return false;
}

bool ArchiveReader::Next() {
  if (Failed()) return false;
  const char* failureText = nullptr;
  const ReadResult result = ReadRecord(file_, codePage_, rules_, offset_, record_, failureText);
  if (result == ReadResult::End) return false;
  if (result == ReadResult::Failed) {
    return Fail(status::kArchiveIo, "read the archive", archivePath_,
                failureText ? failureText : fs_.LastErrorText());
  }
  CutPath(folder_, record_.level, delimiter_);
  depth_ = std::min<std::size_t>(depth_, record_.level);
  if (record_.folder) {
    ++depth_;
    folder_ += record_.name;
    folder_.push_back(delimiter_);
    path_ = folder_;
  } else {
    path_ = folder_ + record_.name;
  }
  return true;
}

bool ArchiveReader::CheckSize() {
  if (record_.size <= static_cast<std::uint32_t>(kMaxFileSize)) return true;
  return Fail(status::kSizeMismatch, verb_, memberRoot_ + path_,
              "the record's size is 2 GiB or more, which the format excludes");
}

bool ArchiveReader::CopyData(
    char* buffer, std::uint32_t bufferSize,
    const std::function<bool(const char* data, std::uint32_t size)>& sink) {
  if (!CheckSize()) return false;
  std::uint32_t remaining = record_.size;
  do {
    const std::uint32_t want = std::min(remaining, bufferSize);
    std::uint32_t got = 0;
    if (!file_.Read(buffer, want, got)) {
      return Fail(status::kArchiveIo, "read the archive", archivePath_, fs_.LastErrorText());
    }
    if (got == 0 && want > 0) {
      return Fail(status::kSizeMismatch, verb_, memberRoot_ + path_,
                  "the archive ends inside the file's data");
    }
    if (!sink(buffer, got)) return false;
    offset_ += got;
    remaining -= got;
  } while (remaining > 0);
  return true;
}

bool ArchiveReader::SkipData(char* buffer, std::uint32_t bufferSize) {
  return CopyData(buffer, bufferSize, [](const char*, std::uint32_t) { return true; });
}

}  // namespace qvr::archive
