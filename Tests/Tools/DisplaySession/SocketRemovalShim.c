// Loaded (LD_PRELOAD) into a display session's X server by a test, to hold the server as it ends,
// after it has closed its listening sockets and before it removes its socket's file:
//   QUARVEL_SHIM_HOLD_SOCKET_REMOVAL: a folder; when the process is about to remove a file under
//     /tmp/.X11-unix/ for the second time (the first is the clearing of a stale file before the
//     server listens), it makes the file "held" in that folder and waits until "release" is
//     there (a minute at most), then removes the file.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static void holdUntilReleased(const char* folder) {
  char path[4096];
  snprintf(path, sizeof path, "%s/held", folder);
  int held = open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (held >= 0) close(held);
  snprintf(path, sizeof path, "%s/release", folder);
  const struct timespec pause = {0, 10 * 1000 * 1000};
  for (int waited = 0; waited < 6000 && access(path, F_OK) != 0; ++waited) nanosleep(&pause, NULL);
}

typedef int (*Unlink)(const char*);

static int socketRemovals = 0;

int unlink(const char* path) {
  const char* folder = getenv("QUARVEL_SHIM_HOLD_SOCKET_REMOVAL");
  if (folder != NULL && strncmp(path, "/tmp/.X11-unix/", 15) == 0 && ++socketRemovals == 2) {
    holdUntilReleased(folder);
  }
  Unlink next = (Unlink)dlsym(RTLD_NEXT, "unlink");
  return next(path);
}
