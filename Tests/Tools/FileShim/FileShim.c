// Loaded into the application by tests (LD_PRELOAD) to put it in situations a test cannot
// otherwise time: another program's change made exactly between the writing of a save and its
// rename, and a temporary file of a save that cannot be made.
//   QUARVEL_SHIM_RENAME_FROM, QUARVEL_SHIM_RENAME_TO: before the first renameat2 of the process,
//     the file FROM is renamed to TO (as another program would put its version in place); with
//     QUARVEL_SHIM_RENAME_AFTER set, just after it.
//   QUARVEL_SHIM_FAIL_TEMPORARY: an errno number; making a new hidden file of a document
//     (".<name>.svgquarvel.…", created exclusively) fails with it.
//   QUARVEL_SHIM_CREATION_LOG: a file; the permissions each such hidden file is made with are
//     added to it, one octal number a line.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int isDocumentTemporary(const char* path, int flags) {
  if ((flags & (O_CREAT | O_EXCL)) != (O_CREAT | O_EXCL)) return 0;
  const char* slash = strrchr(path, '/');
  const char* name = slash != NULL ? slash + 1 : path;
  return name[0] == '.' && strstr(name, ".svgquarvel.") != NULL;
}

static int failedCreation(const char* path, int flags) {
  const char* error = getenv("QUARVEL_SHIM_FAIL_TEMPORARY");
  if (error == NULL || !isDocumentTemporary(path, flags)) return 0;
  errno = atoi(error);
  return 1;
}

typedef int (*OpenAt)(int, const char*, int, ...);

int openat(int folder, const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) {
    va_list arguments;
    va_start(arguments, flags);
    mode = va_arg(arguments, mode_t);
    va_end(arguments);
  }
  if (failedCreation(path, flags)) return -1;
  const char* log = getenv("QUARVEL_SHIM_CREATION_LOG");
  if (log != NULL && isDocumentTemporary(path, flags)) {
    FILE* out = fopen(log, "a");
    if (out != NULL) {
      fprintf(out, "%o\n", (unsigned)mode);
      fclose(out);
    }
  }
  static OpenAt next = NULL;
  if (next == NULL) next = (OpenAt)dlsym(RTLD_NEXT, "openat");
  return next(folder, path, flags, mode);
}

int openat64(int folder, const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) {
    va_list arguments;
    va_start(arguments, flags);
    mode = va_arg(arguments, mode_t);
    va_end(arguments);
  }
  return openat(folder, path, flags, mode);
}

typedef int (*RenameAt2)(int, const char*, int, const char*, unsigned int);

int renameat2(int oldFolder, const char* oldPath, int newFolder, const char* newPath, unsigned int flags) {
  static int done = 0;
  const char* from = getenv("QUARVEL_SHIM_RENAME_FROM");
  const char* to = getenv("QUARVEL_SHIM_RENAME_TO");
  const int after = getenv("QUARVEL_SHIM_RENAME_AFTER") != NULL;
  const int theirs = !done && from != NULL && to != NULL;
  if (theirs) done = 1;
  if (theirs && !after && rename(from, to) != 0) perror("shim: the other program's rename failed");
  static RenameAt2 next = NULL;
  if (next == NULL) next = (RenameAt2)dlsym(RTLD_NEXT, "renameat2");
  const int result = next(oldFolder, oldPath, newFolder, newPath, flags);
  if (theirs && after) {
    const int error = errno;
    if (rename(from, to) != 0) perror("shim: the other program's rename failed");
    errno = error;
  }
  return result;
}
