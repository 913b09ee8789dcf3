// SPDX-License-Identifier: MIT
/* A fault injector for the tests, loaded with LD_PRELOAD into the program
 * under test. ZAN_FAIL names one call and what happens to it:
 *
 *   ZAN_FAIL=write:ENOSPC:3   the 3rd write() and every later one fail with ENOSPC
 *   ZAN_FAIL=rename:EIO:1     the first rename() or renameat2() fails with EIO
 *   ZAN_FAIL=fsync:EIO:1      the first fsync() fails
 *   ZAN_FAIL=write:KILL:2     the process is killed (SIGKILL) at its 2nd write()
 *   ZAN_FAIL=write:TERM:2     ... sent SIGTERM (INT and HUP too), which it may handle
 *
 * Only writes to regular files count (the terminal and pipes are left alone,
 * so that messages still reach the test). With ZAN_FAIL_UNTIL_ARMED set,
 * nothing fails until the program under test sets ZAN_FAIL_ARMED (a test
 * that prepares its files first). With ZAN_FAIL_PATH set, only writes to
 * files whose path contains it count (a program writing other files first).
 * With ZAN_NO_TMPFILE set, open() refuses O_TMPFILE as a file system without
 * unnamed files does (EOPNOTSUPP). */
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static char fail_call[16];
static int fail_errno;
static int fail_signal;
static long fail_from = -1;
static long calls;

static void setup(void) {
  static int done;
  if (done) return;
  done = 1;
  const char* spec = getenv("ZAN_FAIL");
  char what[16];
  long n;
  if (!spec || sscanf(spec, "%15[a-z]:%15[A-Z]:%ld", fail_call, what, &n) != 3) return;
  fail_from = n;
  if (strcmp(what, "KILL") == 0) fail_signal = SIGKILL;
  else if (strcmp(what, "TERM") == 0) fail_signal = SIGTERM;
  else if (strcmp(what, "INT") == 0) fail_signal = SIGINT;
  else if (strcmp(what, "HUP") == 0) fail_signal = SIGHUP;
  else if (strcmp(what, "ENOSPC") == 0) fail_errno = ENOSPC;
  else if (strcmp(what, "EROFS") == 0) fail_errno = EROFS;
  else fail_errno = EIO;
}

extern "C" {

/* True when this call of `name` is to fail (errno is then set). */
static int should_fail(const char* name) {
  setup();
  if (fail_from < 0 || strcmp(name, fail_call) != 0) return 0;
  if (getenv("ZAN_FAIL_UNTIL_ARMED") && !getenv("ZAN_FAIL_ARMED")) return 0;
  if (++calls < fail_from) return 0;
  if (fail_signal) {
    raise(fail_signal);
    return 0;  /* handled: the call goes on */
  }
  errno = fail_errno;
  return 1;
}

static int is_regular(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  const char* only = getenv("ZAN_FAIL_PATH");
  if (!only) return 1;
  char link[64], path[4096];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t n = readlink(link, path, sizeof path - 1);
  if (n <= 0) return 0;
  path[n] = '\0';
  return strstr(path, only) != nullptr;
}

ssize_t write(int fd, const void* buf, size_t count) {
  static ssize_t (*real)(int, const void*, size_t);
  if (!real) real = (ssize_t (*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
  if (is_regular(fd) && should_fail("write")) return -1;
  return real(fd, buf, count);
}

static ssize_t fail_pwrite(const char* name, int fd, const void* buf, size_t count, off_t offset) {
  ssize_t (*real)(int, const void*, size_t, off_t) = (ssize_t (*)(int, const void*, size_t, off_t))dlsym(RTLD_NEXT, name);
  if (is_regular(fd) && should_fail("write")) return -1;
  return real(fd, buf, count, offset);
}
ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset) { return fail_pwrite("pwrite", fd, buf, count, offset); }
ssize_t pwrite64(int fd, const void* buf, size_t count, off_t offset) { return fail_pwrite("pwrite64", fd, buf, count, offset); }

static int open_with(const char* name, const char* path, int flags, mode_t mode) {
  int (*real)(const char*, int, ...) = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, name);
  if ((flags & O_TMPFILE) == O_TMPFILE && getenv("ZAN_NO_TMPFILE")) {
    errno = EOPNOTSUPP;
    return -1;
  }
  return real(path, flags, mode);
}
int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
  va_end(args);
  return open_with("open", path, flags, mode);
}
int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
  va_end(args);
  return open_with("open64", path, flags, mode);
}

int fsync(int fd) {
  static int (*real)(int);
  if (!real) real = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
  if (should_fail("fsync")) return -1;
  return real(fd);
}

int rename(const char* from, const char* to) {
  static int (*real)(const char*, const char*);
  if (!real) real = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "rename");
  if (should_fail("rename")) return -1;
  return real(from, to);
}

/* A trade of names counts as a rename. */
int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags) {
  static int (*real)(int, const char*, int, const char*, unsigned int);
  if (!real) real = (int (*)(int, const char*, int, const char*, unsigned int))dlsym(RTLD_NEXT, "renameat2");
  if (should_fail("rename")) return -1;
  return real(fromDir, from, toDir, to, flags);
}

}  // extern "C"
