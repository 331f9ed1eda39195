#include "platform/win32/FileErrors.h"

#include "platform/win32/SystemErrors.h"

namespace qvr {
namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;
thread_local const char* t_lastReason = nullptr;

}  // namespace

void RememberError(DWORD error) {
  t_lastError = error;
  t_lastReason = nullptr;
}

void RememberLastError() {
  RememberError(::GetLastError());
}

void RememberStatus(NTSTATUS status) {
  RememberError(::RtlNtStatusToDosError(status));
}

void RememberReason(const char* reason) {
  t_lastError = ERROR_SUCCESS;
  t_lastReason = reason;
}

std::string LastFileErrorText() {
  if (t_lastReason != nullptr) return t_lastReason;
  return SystemErrorText(t_lastError);
}

}  // namespace qvr
