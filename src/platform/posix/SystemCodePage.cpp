// Code pages other than 1252 come from the C library's converter.
#include <iconv.h>

#include <cerrno>
#include <string>

#include "platform/Text.h"

namespace qvr {
namespace {

class Converter {
 public:
  explicit Converter(const std::string& from) : handle_(::iconv_open("UTF-32LE", from.c_str())) {}
  ~Converter() {
    if (Valid()) ::iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  enum class Result { Character, Undefined, NotSingleByte };

  // The one character of `byte`: Undefined when the code page has none for it,
  // NotSingleByte when the byte begins a longer sequence or stands for several.
  Result Convert(unsigned char byte, char32_t& code) {
    ::iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char in = static_cast<char>(byte);
    unsigned char out[8] = {};
    char* inPointer = &in;
    char* outPointer = reinterpret_cast<char*>(out);
    std::size_t inLeft = 1;
    std::size_t outLeft = sizeof out;
    if (::iconv(handle_, &inPointer, &inLeft, &outPointer, &outLeft) ==
        static_cast<std::size_t>(-1)) {
      return errno == EILSEQ ? Result::Undefined : Result::NotSingleByte;
    }
    if (sizeof out - outLeft != 4) return Result::NotSingleByte;
    code = static_cast<char32_t>(out[0] | (out[1] << 8) | (out[2] << 16) | (out[3] << 24));
    return Result::Character;
  }

 private:
  iconv_t handle_;
};

}  // namespace

bool LoadSystemCodePage(unsigned number, CodePage::UpperHalf& upper) {
  Converter converter("CP" + std::to_string(number));
  if (!converter.Valid()) return false;
  for (unsigned byte = 0; byte < 256; ++byte) {
    char32_t code = 0;
    switch (converter.Convert(static_cast<unsigned char>(byte), code)) {
      case Converter::Result::NotSingleByte:
        return false;
      case Converter::Result::Undefined:
        if (byte < 0x80) return false;
        code = byte;  // as Windows reads an undefined byte: its C1 control
        break;
      case Converter::Result::Character:
        if (byte < 0x80 && code != byte) return false;
        break;
    }
    if (byte >= 0x80) upper[byte - 0x80] = code;
  }
  return true;
}

}  // namespace qvr
