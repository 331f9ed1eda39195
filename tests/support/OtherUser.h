// A standard user acting beside the setup: on POSIX, when the tests run as root (as the
// administrator the setup runs as), a child process that has given up root for the
// unprivileged user "nobody", so that the rights the setup set are really checked.
#pragma once

#include <functional>

namespace qvr::test {

// Whether the tests can act as another user here (POSIX, running as root).
bool CanActAsOtherUser();
// Runs `action` as the other user in a child process and returns what it returned.
// Throws std::runtime_error when the child cannot become that user.
bool AsOtherUser(const std::function<bool()>& action);

// The other user doing `step` again and again in a child process, as fast as it can,
// until this object goes.
class OtherUserLoop {
 public:
  explicit OtherUserLoop(const std::function<void()>& step);
  ~OtherUserLoop();
  OtherUserLoop(const OtherUserLoop&) = delete;
  OtherUserLoop& operator=(const OtherUserLoop&) = delete;

 private:
  int child_ = -1;
};

}  // namespace qvr::test
