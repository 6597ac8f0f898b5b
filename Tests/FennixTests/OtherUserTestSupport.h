// Work done as another user by a test run as the administrator.
#pragma once

#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <functional>
#include <thread>

namespace OtherUserTestSupport {

/// Runs `work` as the user `uid` with the group `gid` alone, on a thread of its own, and waits for
/// it; false, without running it, when the thread could not become that user (which takes an
/// administrator). Linux keeps the user and groups of each thread apart, and the system calls made
/// directly change the calling thread's alone (the C library's wrappers would change those of
/// every thread): the rest of the process stays as it was, and nothing is forked beside the test's
/// threads.
inline bool runAsUser(uid_t uid, gid_t gid, const std::function<void()>& work) {
  bool became = false;
  std::thread([&] {
    became = ::syscall(SYS_setgroups, 1, &gid) == 0 && ::syscall(SYS_setresgid, gid, gid, gid) == 0 &&
             ::syscall(SYS_setresuid, uid, uid, uid) == 0;
    if (became) work();
  }).join();
  // A change of user makes the process's files in /proc its administrator's and bars tracing it;
  // the process keeps its own user, so it may be traced again (as the leak checker does at exit).
  ::prctl(PR_SET_DUMPABLE, 1);
  return became;
}

}  // namespace OtherUserTestSupport
