// The runtime's exception classes. Every error the program raises derives from
// Exception and carries the message that the framework's error box shows.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace qvr {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// A value outside its allowed range.
class ERangeError : public Exception {
  using Exception::Exception;
};
// Text that does not convert to a number.
class EConvertError : public Exception {
  using Exception::Exception;
};
// A file-system operation that failed where no status code reports it.
class EInOutError : public Exception {
 public:
  EInOutError(std::string message, int errorCode)
      : Exception(std::move(message)), errorCode_(errorCode) {}
  int ErrorCode() const { return errorCode_; }

 private:
  int errorCode_;
};
// An object of the wrong class where a particular class is required.
class EInvalidCast : public Exception {
  using Exception::Exception;
};
// An interface that a COM object does not offer.
class EIntfCastError : public Exception {
  using Exception::Exception;
};
// A failed COM system call, with its HRESULT.
class EOleSysError : public Exception {
 public:
  EOleSysError(std::string message, std::int32_t errorCode)
      : Exception(std::move(message)), errorCode_(errorCode) {}
  std::int32_t ErrorCode() const { return errorCode_; }

 private:
  std::int32_t errorCode_;
};
// A failed automation call, with the error information the server supplied.
class EOleException : public EOleSysError {
 public:
  EOleException(std::string message, std::int32_t errorCode, std::string source,
                std::string helpFile, std::int32_t helpContext)
      : EOleSysError(std::move(message), errorCode),
        source_(std::move(source)),
        helpFile_(std::move(helpFile)),
        helpContext_(helpContext) {}
  const std::string& Source() const { return source_; }
  const std::string& HelpFile() const { return helpFile_; }
  std::int32_t HelpContext() const { return helpContext_; }

 private:
  std::string source_;
  std::string helpFile_;
  std::int32_t helpContext_;
};
// A failed assertion; the message names the source unit and line.
class EAssertionFailed : public Exception {
  using Exception::Exception;
};

}  // namespace qvr
