// Failures of the file-system layer as values: what was done, on which path, why in
// the few words callers decide on, and the system's own text. Every operation that can
// fail returns a Result: its value, or the FileError that says why there is none.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace qvr {

// Why an operation failed, as far as a caller decides on it.
enum class FileReason : std::uint8_t {
  NotFound,      // nothing of that name
  IsLink,        // a link, a junction or another reparse point, which is never followed
  NotFolder,     // a file (or something else) where a folder is needed
  IsFolder,      // a folder where a file is needed
  NotFile,       // a device, a pipe or a socket where a file is needed
  OtherNames,    // a file with more than one name: a hard link may lead elsewhere
  InUse,         // another handle holds it
  AccessDenied,  //
  Exists,        // an entry of that name is there already
  NoSpace,       // the disk is full
  OtherOwner,    // it belongs to another user, who may hold a handle on it
  Changed,       // it is no longer what was checked: something else took its place
  Damaged,       // the content is not what it says it is (an archive that breaks off)
  Other,         // see the system's text
};

struct FileError {
  // What was done, in English ("open", "create the folder", "read the archive"): a
  // literal of the caller's, so the error stays cheap to copy.
  const char* operation = "";
  std::string path;  // the entry it was done to, as the caller names it
  FileReason reason = FileReason::Other;
  std::string systemText;  // the system's own text, where it gave one

  // The reason in words: the system's text, or the layer's own where it has none.
  std::string ReasonText() const;
  // operation, path and reason: could not open "C:\x": Access is denied
  std::string Message() const;
};

// The English words for a reason the layer decided itself.
const char* DescribeReason(FileReason reason);

// A value of T, or the error E that kept it from being made.
template <typename T, typename E = FileError>
class [[nodiscard]] Result {
 public:
  template <typename U = T>
  requires(std::is_constructible_v<T, U&&> && !std::is_same_v<std::remove_cvref_t<U>, E> &&
           !std::is_same_v<std::remove_cvref_t<U>, Result>) Result(U&& value)
      : state_(std::in_place_index<0>, std::forward<U>(value)) {}
  Result(E error) : state_(std::in_place_index<1>, std::move(error)) {}

  explicit operator bool() const { return state_.index() == 0; }
  T& operator*() { return std::get<0>(state_); }
  const T& operator*() const { return std::get<0>(state_); }
  T* operator->() { return &std::get<0>(state_); }
  const T* operator->() const { return &std::get<0>(state_); }
  // The value, moved out.
  T Take() { return std::move(std::get<0>(state_)); }
  const E& Error() const { return std::get<1>(state_); }
  E TakeError() { return std::move(std::get<1>(state_)); }
  // Whether it failed for this reason.
  bool Failed(FileReason reason) const { return !*this && Error().reason == reason; }

 private:
  std::variant<T, E> state_;
};

template <typename E>
class [[nodiscard]] Result<void, E> {
 public:
  Result() = default;
  Result(E error) : error_(std::move(error)) {}

  explicit operator bool() const { return !error_; }
  const E& Error() const { return *error_; }
  E TakeError() { return std::move(*error_); }
  bool Failed(FileReason reason) const { return error_ && error_->reason == reason; }

 private:
  std::optional<E> error_;
};

// An error the layer or a caller decides on itself, without a system text.
inline FileError Refusal(const char* operation, std::string path, FileReason reason) {
  return FileError{operation, std::move(path), reason, {}};
}

}  // namespace qvr
