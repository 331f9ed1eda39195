#include "platform/FileError.h"

namespace qvr {

const char* DescribeReason(FileReason reason) {
  switch (reason) {
    case FileReason::NotFound:
      return "it is not there";
    case FileReason::IsLink:
      return "it is a link, which is not followed";
    case FileReason::NotFolder:
      return "it is a file, not a folder";
    case FileReason::IsFolder:
      return "it is a folder, not a file";
    case FileReason::NotFile:
      return "it is a device, a pipe or a socket, not a file";
    case FileReason::OtherNames:
      return "it is a file with more than one name, which may be a file elsewhere";
    case FileReason::InUse:
      return "another program holds it";
    case FileReason::AccessDenied:
      return "access is denied";
    case FileReason::Exists:
      return "an entry of that name is there already";
    case FileReason::NoSpace:
      return "the disk is full";
    case FileReason::OtherOwner:
      return "it belongs to another user";
    case FileReason::Changed:
      return "something else took its place while it was in use";
    case FileReason::Damaged:
      return "it is damaged";
    case FileReason::Other:
      break;
  }
  return "it failed";
}

std::string FileError::ReasonText() const {
  return systemText.empty() ? DescribeReason(reason) : systemText;
}

std::string FileError::Message() const {
  std::string text = "could not ";
  text += operation;
  if (!path.empty()) text += " \"" + path + "\"";
  return text + ": " + ReasonText();
}

}  // namespace qvr
