/* LD_PRELOAD shim for the kill tests of the extraction harness: counts the
 * calls that change a folder (mkdir, rmdir, rename, renameat2, link, unlink)
 * from 1 and, at the call TARVEX_KILL_AT names, kills the process with
 * SIGKILL before the call is made, as Task Manager's "End task" or a power
 * cut would; at TARVEX_FAIL_AT the call fails with EIO instead. With
 * TARVEX_SHIM_LOG set, every counted call is appended to that file as
 * "N call FROM [TO]". */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

static long calls;

static int Step(const char* call, const char* from, const char* to) {
  long n = ++calls;
  const char* log = getenv("TARVEX_SHIM_LOG");
  if (log) {
    FILE* f = fopen(log, "a");
    if (f) {
      fprintf(f, "%ld %s %s %s\n", n, call, from, to ? to : "");
      fclose(f);
    }
  }
  const char* kill_at = getenv("TARVEX_KILL_AT");
  if (kill_at && atol(kill_at) == n) kill(getpid(), SIGKILL);
  const char* fail_at = getenv("TARVEX_FAIL_AT");
  if (fail_at && atol(fail_at) == n) {
    errno = EIO;
    return -1;
  }
  return 0;
}

#define NEXT(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

int mkdir(const char* path, mode_t mode) { return Step("mkdir", path, 0) ? -1 : NEXT(mkdir)(path, mode); }
int rmdir(const char* path) { return Step("rmdir", path, 0) ? -1 : NEXT(rmdir)(path); }
int unlink(const char* path) { return Step("unlink", path, 0) ? -1 : NEXT(unlink)(path); }
int link(const char* from, const char* to) { return Step("link", from, to) ? -1 : NEXT(link)(from, to); }
int rename(const char* from, const char* to) { return Step("rename", from, to) ? -1 : NEXT(rename)(from, to); }
int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags) {
  return Step("rename", from, to) ? -1 : NEXT(renameat2)(fromDir, from, toDir, to, flags);
}
