#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstddef>
#include <string>
#include <system_error>

#include "NewFile.h"

namespace {

// The new file, for the signal handler to remove: the one piece of state the program shares with
// it, since a handler can reach nothing else.
std::atomic<const char*> fileToRemove{nullptr};

// Whether the default action of `signal` ends the program, and a handler can be set for it.
bool EndsProgram(int signal) {
  switch (signal) {
    case SIGKILL:  // cannot be caught
    case SIGSTOP:
    case SIGTSTP:  // stop, or are ignored, by default
    case SIGTTIN:
    case SIGTTOU:
    case SIGCONT:
    case SIGCHLD:
    case SIGURG:
    case SIGWINCH:
#ifdef SIGINFO
    case SIGINFO:
#endif
    // Ignored instead, so that a write past the file size limit fails with EFBIG, which is
    // reported and cleaned up.
    case SIGXFSZ:
      return false;
    default:
      return true;
  }
}

void RemoveFileAndEnd(int signal) {
  const char* const file = fileToRemove.load();
  if (file != nullptr) static_cast<void>(unlink(file));
  // SA_RESETHAND has restored the default action, so the signal raised again ends the program
  // as soon as this returns, and whoever sent it sees the program end by it.
  static_cast<void>(raise(signal));
}

void CatchEndingSignals() {
  struct sigaction action {};
  action.sa_handler = RemoveFileAndEnd;
  sigfillset(&action.sa_mask);
  action.sa_flags = static_cast<int>(SA_RESETHAND);
  for (int signal = 1; signal < NSIG; ++signal) {
    if (!EndsProgram(signal)) continue;
    struct sigaction current {};
    // A signal ignored from the start, as under nohup, stays ignored, and one that something
    // else handles, such as a sanitizer, stays handled. Some numbers are the C library's own,
    // and refused.
    if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
      static_cast<void>(sigaction(signal, &action, nullptr));
    }
  }
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  static_cast<void>(sigaction(SIGXFSZ, &ignore, nullptr));
}

// Holds every signal back while the new file is created and not yet known to the handler.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t all;
    sigfillset(&all);
    static_cast<void>(sigprocmask(SIG_BLOCK, &all, &saved));
  }
  ~SignalsHeld() { static_cast<void>(sigprocmask(SIG_SETMASK, &saved, nullptr)); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;
  SignalsHeld(SignalsHeld&&) = delete;
  SignalsHeld& operator=(SignalsHeld&&) = delete;

 private:
  sigset_t saved{};
};

}  // namespace

std::string FolderOf(const std::string& path) {
  const std::size_t separator = path.rfind('/');
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

std::string FileToReplace(const std::string& name) {
  std::string path = name;
  constexpr int kMostLinks = 40;  // as many as Linux follows in one path
  for (int links = 0; links < kMostLinks; ++links) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) break;
    std::string link(256, '\0');
    ssize_t length = 0;
    while ((length = readlink(path.c_str(), link.data(), link.size())) ==
           static_cast<ssize_t>(link.size())) {
      link.resize(link.size() * 2);
    }
    if (length <= 0) break;
    link.resize(static_cast<std::size_t>(length));
    path = link[0] == '/' ? link : FolderOf(path).append(link);
  }
  return path;
}

int OwnDescriptor(const std::string& name) {
  int fd = -1;
  if (name == "/dev/stdin") {
    fd = STDIN_FILENO;
  } else if (name == "/dev/stdout") {
    fd = STDOUT_FILENO;
  } else if (name == "/dev/stderr") {
    fd = STDERR_FILENO;
  } else {
    for (const std::string prefix : {"/dev/fd/", "/proc/self/fd/"}) {
      if (name.compare(0, prefix.size(), prefix) != 0) continue;
      const char* const last = name.data() + name.size();
      const auto [end, error] = std::from_chars(name.data() + prefix.size(), last, fd);
      if (error != std::errc() || end != last || fd < 0) fd = -1;
    }
  }
  // A descriptor that is not open is no file of the program's; opening the name then fails.
  return fd >= 0 && fcntl(fd, F_GETFD) >= 0 ? fd : -1;
}

int OpenToWrite(const std::string& name) { return open(name.c_str(), O_WRONLY); }

int CreateNewFile(const std::string& path) {
  // Held until the handler knows the new file, so that no signal can leave it behind.
  const SignalsHeld held;
  CatchEndingSignals();
  // Mode 0666, so that the kernel applies the umask, or the folder's default access control list,
  // as it does for a redirection.
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL,
                      S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH);
  if (fd >= 0) fileToRemove = path.c_str();
  return fd;
}

void KeepOwnerAndMode(int fd, const struct stat& old) {
  // The owner first, since changing it clears the set-ID bits. A user may give a file to a group
  // of their own but to no other user, and then the group alone is kept; where neither can be,
  // the new file is the user's own.
  const bool ownerKept = fchown(fd, old.st_uid, old.st_gid) == 0;
  [[maybe_unused]] const bool groupKept =
      ownerKept || fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0;
  // A set-ID bit on a file that now belongs to someone else would hand that user's rights to
  // whoever runs it.
  const mode_t setId = ownerKept ? 0 : S_ISUID | S_ISGID;
  static_cast<void>(fchmod(fd, old.st_mode & 07777 & ~setId));
}

bool FlushToDisk(int fd) { return fsync(fd) == 0; }

bool PutInPlace(const std::string& path, const std::string& target) {
  if (rename(path.c_str(), target.c_str()) != 0) return false;
  fileToRemove = nullptr;
  return true;
}

void RemoveNewFile(const std::string& path) {
  static_cast<void>(unlink(path.c_str()));
  fileToRemove = nullptr;
}
