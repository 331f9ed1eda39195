#include "OtherUser.h"

#include <stdexcept>

#ifndef _WIN32
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace qvr::test {

#ifdef _WIN32
bool CanActAsOtherUser() {
  return false;
}

bool AsOtherUser(const std::function<bool()>&) {
  return false;
}

OtherUserLoop::OtherUserLoop(const std::function<void()>&) {}
OtherUserLoop::~OtherUserLoop() = default;
#else
namespace {
constexpr uid_t kNobody = 65534;

bool BecomeOtherUser() {
  return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
}
}  // namespace

OtherUserLoop::OtherUserLoop(const std::function<void()>& step) {
  child_ = ::fork();
  if (child_ == 0) {
    if (!BecomeOtherUser()) ::_exit(2);
    for (;;) step();
  }
  if (child_ < 0) throw std::runtime_error("cannot act as another user");
}

OtherUserLoop::~OtherUserLoop() {
  ::kill(child_, SIGKILL);
  int status = 0;
  ::waitpid(child_, &status, 0);
}

bool CanActAsOtherUser() {
  return ::geteuid() == 0;
}

bool AsOtherUser(const std::function<bool()>& action) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (!BecomeOtherUser()) ::_exit(2);
    ::_exit(action() ? 0 : 1);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) == 2) {
    throw std::runtime_error("cannot act as another user");
  }
  return WEXITSTATUS(status) == 0;
}
#endif

}  // namespace qvr::test
