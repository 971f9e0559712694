// Runs a check as a user the file permissions apply to. Root writes everywhere whatever the
// mode, so under root (as CI runs) the check runs in a child process that has become nobody.
#pragma once

#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zetra::testing {

inline constexpr uid_t kNobody = 65534;

// `check` returns 0 for success; its result comes back as the exit code (90s: set-up failed).
template <class Check>
int as_plain_user(Check check) {
  if (geteuid() != 0) return check();
  const pid_t child = fork();
  if (child == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(90);
    _exit(check());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 91;
}

// Runs `check` in a child process (so limits and signal settings stay there).
template <class Check>
int in_child(Check check) {
  const pid_t child = fork();
  if (child == 0) _exit(check());
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 91;
}

}  // namespace zetra::testing
