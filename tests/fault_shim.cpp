// Makes one system call fail for the end-to-end tests, as a faulty disk, a slow pipe or a signal
// would, though no file system does so on demand: SIMPLE_ENCRYPTION_FAULT names the fault.
// Preloaded into the program with LD_PRELOAD, on Linux only.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

bool Injected(const char* fault) {
  const char* const chosen = std::getenv("SIMPLE_ENCRYPTION_FAULT");
  return chosen != nullptr && std::strcmp(chosen, fault) == 0;
}

// The C library's own function of the same type as this one.
template <typename Function>
Function* Real(Function* /*self*/, const char* name) {
  return reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
}

int Fail() {
  errno = EIO;
  return -1;
}

bool Refused(const char* path, int flags, mode_t mode) {
  if (Injected("devnull") && std::strcmp(path, "/dev/null") == 0) {
    errno = ENOENT;
    return true;
  }
  if (Injected("private") && (flags & O_CREAT) != 0 && (mode & 077) != 0) {
    errno = EIO;
    return true;
  }
  // The first new file's name taken, as by another run in the same folder.
  static bool taken = false;
  if (Injected("exist") && (flags & O_EXCL) != 0 && !taken) {
    taken = true;
    errno = EEXIST;
    return true;
  }
  return false;
}

}  // namespace

// Memory that runs out where a filter takes its block: operator new fails as it does, through
// the program's handler for it. Otherwise the next operator new, a sanitizer's where there is one.
// NOLINTNEXTLINE(misc-new-delete-overloads,cert-dcl54-cpp): the usual delete frees what it gives
void* operator new(std::size_t size) {
  constexpr std::size_t kBlock = std::size_t{128} * 1024;
  if (Injected("nomem") && size >= kBlock) {
    for (;;) {
      const std::new_handler handler = std::get_new_handler();
      if (handler == nullptr) throw std::bad_alloc();
      handler();
    }
  }
  // Its name as the Itanium C++ ABI of every Linux target spells it: std::size_t is unsigned long
  // ('m') where it has 64 bits, and unsigned int ('j') where it has 32.
  const char* const kName = sizeof(std::size_t) == 8 ? "_Znwm" : "_Znwj";
  return Real(static_cast<void* (*)(std::size_t)>(&::operator new), kName)(size);
}

extern "C" {

// /dev/null missing, as in a bare chroot; or a new file made open to more than its creator, where
// none may be.
// open's own signature, glibc's parameter names being reserved ones.
// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
int open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if ((flags & O_CREAT) != 0) {
    std::va_list rest;
    va_start(rest, flags);
    mode = va_arg(rest, mode_t);
    va_end(rest);
  }
  return Refused(path, flags, mode) ? -1 : Real(open, "open")(path, flags, mode);
}

// What a fortified build calls for flags that are not known at compile time.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp): glibc's own name
int __open_2(const char* path, int flags) {
  return Refused(path, flags, 0) ? -1 : Real(__open_2, "__open_2")(path, flags);
}

int fsync(int fd) { return Injected("fsync") ? Fail() : Real(fsync, "fsync")(fd); }

ssize_t readlink(const char* path, char* buf, std::size_t len) {
  return Injected("readlink") ? Fail() : Real(readlink, "readlink")(path, buf, len);
}

int rename(const char* from, const char* to) {
  return Injected("rename") ? Fail() : Real(rename, "rename")(from, to);
}

// The descriptor is closed, as Linux does when close reports an error; standard error is spared
// for the messages.
int close(int fd) {
  const int closed = Real(close, "close")(fd);
  return Injected("close") && fd != STDERR_FILENO ? Fail() : closed;
}

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name): glibc's are reserved names
ssize_t write(int fd, const void* data, std::size_t size) {
  if (Injected("write0") && fd != STDERR_FILENO) return 0;
  // Every other write interrupted too, as a signal may, before it writes anything, and none
  // writes more than a hundred bytes, fewer than a read may give, as into a pipe nearly full.
  static bool interrupt = false;
  interrupt = !interrupt;
  if (Injected("eintr") && fd != STDERR_FILENO) {
    if (interrupt) {
      errno = EINTR;
      return -1;
    }
    size = std::min<std::size_t>(size, 100);
  }
  return Real(write, "write")(fd, data, size);
}

// Every other read is interrupted, and none gives more than a few hundred bytes; or the program
// is sent SIGTERM or SIGQUIT, once, while it waits for input: once, so that a handler that let
// the program go on would be seen to.
// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name): as for write
ssize_t read(int fd, void* data, std::size_t size) {
  static bool signalled = false;
  if (!signalled && Injected("sigterm")) kill(getpid(), SIGTERM);
  if (!signalled && Injected("sigquit")) kill(getpid(), SIGQUIT);
  signalled = true;
  if (Injected("eintr")) {
    static bool interrupt = false;
    interrupt = !interrupt;
    if (interrupt) {
      errno = EINTR;
      return -1;
    }
    size = std::min<std::size_t>(size, 300);
  }
  return Real(read, "read")(fd, data, size);
}
}
