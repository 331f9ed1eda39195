#include "packer/ArchiveReader.h"

#include <algorithm>
#include <utility>

namespace qvr::archive {

ArchiveReader::ArchiveReader(OpenFile& file, std::uint64_t size, const CodePage& codePage,
                             NameRules rules, char delimiter, std::string memberRoot,
                             const char* verb)
    : file_(file),
      size_(size),
      codePage_(codePage),
      rules_(rules),
      delimiter_(delimiter),
      memberRoot_(std::move(memberRoot)),
      verb_(verb) {}

bool ArchiveReader::Fail(std::int32_t status, FileError error) {
  return Fail(WithStatus(status, std::move(error)));
}

bool ArchiveReader::Fail(PackerFailure failure) {
  if (!failure_) failure_ = std::move(failure);
  return false;
}

bool ArchiveReader::Malformed(const std::string& what) {
  return Fail(status::kArchiveIo, FileError{"read the archive", file_.Path(), FileReason::Damaged,
                                            "Malformed archive: the record at byte offset " +
                                                std::to_string(recordStart_) + what});
}

bool ArchiveReader::ArchiveEnds(const char* where) {
  return Fail(status::kArchiveIo,
              FileError{"read the archive", file_.Path(), FileReason::Other,
                        std::string("the archive ends inside ") + where +
                            " (the record at byte offset " + std::to_string(recordStart_) + ")"});
}

Result<std::uint32_t> ArchiveReader::ReadFully(char* buffer, std::uint32_t count) {
  std::uint32_t got = 0;
  while (got < count) {
    if (aheadPos_ == aheadEnd_) {
      // What does not fit the read-ahead goes straight where it is wanted.
      char* const target = count - got >= ahead_.size() ? buffer + got : ahead_.data();
      const auto want =
          target == ahead_.data() ? static_cast<std::uint32_t>(ahead_.size()) : count - got;
      Result<std::uint32_t> n = file_.Read(target, want);
      if (!n) return n;
      if (*n == 0) break;
      if (target != ahead_.data()) {
        got += *n;
        continue;
      }
      aheadPos_ = 0;
      aheadEnd_ = *n;
    }
    const auto take =
        static_cast<std::uint32_t>(std::min<std::size_t>(count - got, aheadEnd_ - aheadPos_));
    std::copy_n(ahead_.data() + aheadPos_, take, buffer + got);
    aheadPos_ += take;
    got += take;
  }
  offset_ += got;
  return got;
}

std::optional<PackerFailure> ArchiveReader::ReadThrough(std::vector<std::string>* folders) {
  while (Next()) {
    if (record_.folder) {
      if (folders != nullptr) folders->push_back(path_);
    } else if (!SkipData()) {
      break;
    }
  }
  if (!failure_) {
    if (Result<void> back = file_.Seek(0); !back) Fail(status::kArchiveIo, back.TakeError());
  }
  std::optional<PackerFailure> found = std::exchange(failure_, std::nullopt);
  offset_ = 0;
  aheadPos_ = aheadEnd_ = 0;
  folder_.clear();
  depth_ = 0;
  return found;
}

bool ArchiveReader::Next() {
  if (failure_) return false;
  recordStart_ = offset_;
  char buffer[kMaxNameLength];  // the longest field
  Result<std::uint32_t> got = ReadFully(buffer, kHeaderSize);
  if (!got) return Fail(status::kArchiveIo, got.TakeError());
  // A failed read of a header is the end, as is a header that is not there at all.
  if (*got == 0) return false;
  if (*got < kHeaderSize) return ArchiveEnds("a record header");
  RecordHeader header;
  if (!DecodeHeader(buffer, header)) return Malformed(" has a header that is not hexadecimal");
  got = ReadFully(buffer, header.nameLength);
  if (!got) return Fail(status::kArchiveIo, got.TakeError());
  if (*got < header.nameLength) return ArchiveEnds("a record's name");
  record_.folder = header.folder;
  record_.level = header.level;
  record_.name = codePage_.ToUtf8(std::string_view(buffer, *got));
  record_.size = 0;
  // An empty file name is no danger: creating the file fails, as any creation can.
  if (!record_.name.empty() || record_.folder) {
    if (const char* problem = NameProblem(record_.name, rules_)) {
      return Malformed(std::string(" cannot be unpacked: ") + problem);
    }
  }
  if (!record_.folder) {
    got = ReadFully(buffer, kSizeFieldSize);
    if (!got) return Fail(status::kArchiveIo, got.TakeError());
    if (*got < kSizeFieldSize) return ArchiveEnds("a record's size");
    if (!ParseHex(std::string_view(buffer, kSizeFieldSize), record_.size)) {
      return Malformed(" has a size that is not hexadecimal");
    }
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
  return Fail(status::kSizeMismatch,
              FileError{verb_, MemberPath(), FileReason::Damaged,
                        "the record's size is 2 GiB or more, which the format excludes"});
}

bool ArchiveReader::CopyData(
    char* buffer, std::uint32_t bufferSize,
    const std::function<PackerOutcome(const char* data, std::uint32_t size)>& sink) {
  if (!CheckSize()) return false;
  std::uint32_t remaining = record_.size;
  do {
    const std::uint32_t want = std::min(remaining, bufferSize);
    Result<std::uint32_t> got = ReadFully(buffer, want);
    if (!got) return Fail(status::kArchiveIo, got.TakeError());
    if (*got < want) {
      return Fail(status::kSizeMismatch, FileError{verb_, MemberPath(), FileReason::Damaged,
                                                   "the archive ends inside the file's data"});
    }
    if (PackerOutcome taken = sink(buffer, *got); !taken) return Fail(taken.TakeError());
    remaining -= *got;
  } while (remaining > 0);
  return true;
}

bool ArchiveReader::SkipData() {
  if (!CheckSize()) return false;
  if (offset_ + record_.size > size_) {
    return Fail(status::kSizeMismatch,
                FileError{verb_, MemberPath(), FileReason::Damaged,
                          "the archive ends inside the file's data (the record at byte offset " +
                              std::to_string(recordStart_) + ")"});
  }
  offset_ += record_.size;
  // Within what was read ahead, or past it by seeking.
  if (record_.size <= aheadEnd_ - aheadPos_) {
    aheadPos_ += record_.size;
    return true;
  }
  aheadPos_ = aheadEnd_ = 0;
  if (Result<void> moved = file_.Seek(offset_); !moved) {
    return Fail(status::kArchiveIo, moved.TakeError());
  }
  return true;
}

}  // namespace qvr::archive
