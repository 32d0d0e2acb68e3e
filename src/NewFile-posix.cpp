#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/magic.h>
#include <sys/vfs.h>
#endif

#include <atomic>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstddef>
#include <optional>
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
    case SIGXFSZ:  // ignored from the start of main, so that a write past the limit fails
      return false;
    default:
      return true;
  }
}

void RemoveFileAndEnd(int signal) {
  RemoveNewFileInHaste();
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

// The number a file in a folder of descriptors is named by, such as 1 in /dev/fd/1.
std::optional<int> DescriptorNumber(const std::string& last) {
  int fd = -1;
  const char* const end = last.data() + last.size();
  const auto [stop, error] = std::from_chars(last.data(), end, fd);
  if (last.empty() || error != std::errc() || stop != end || fd < 0) return std::nullopt;
  return fd;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether `folder` is the one in which the kernel shows this process's descriptors, by whatever
// path it is reached: /dev/fd/, /proc/self/fd/, /proc/PID/fd/, or a thread's own.
bool IsOwnDescriptorFolder(const std::string& folder) {
  struct stat status {};
  if (stat(folder.empty() ? "." : folder.c_str(), &status) != 0) return false;
  for (const char* const own : {"/proc/self/fd", "/proc/thread-self/fd"}) {
    struct stat ownStatus {};
    if (stat(own, &ownStatus) == 0 && SameFile(status, ownStatus)) return true;
  }
  return false;
}

bool InProc(const std::string& folder) {
#ifdef __linux__
  struct statfs system {};
  return statfs(folder.empty() ? "." : folder.c_str(), &system) == 0 &&
         system.f_type == PROC_SUPER_MAGIC;
#else
  static_cast<void>(folder);
  return false;
#endif
}

}  // namespace

std::string FolderOf(const std::string& path) {
  const std::size_t separator = path.rfind('/');
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

OutputTarget TargetOf(const std::string& name) {
  std::string path = name;
  constexpr int kMostLinks = 40;  // as many as Linux follows in one path
  for (int links = 0; links < kMostLinks; ++links) {
    const std::string folder = FolderOf(path);
    if (const std::optional<int> fd = DescriptorNumber(path.substr(folder.size()));
        fd && IsOwnDescriptorFolder(folder)) {
      return {path, *fd, 0};
    }
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) break;
    // Links in /proc name what a process has open, such as "pipe:[123]" or "/home/f (deleted)",
    // which is no path to make a file at; the kernel follows them itself when the name is opened.
    if (InProc(folder)) break;
    std::string link(256, '\0');
    ssize_t length = 0;
    while ((length = readlink(path.c_str(), link.data(), link.size())) ==
           static_cast<ssize_t>(link.size())) {
      link.resize(link.size() * 2);
    }
    // A link just found that cannot be read is an error, and no name to make a file at.
    if (length <= 0) return {path, -1, length < 0 ? errno : EINVAL};
    link.resize(static_cast<std::size_t>(length));
    path = link[0] == '/' ? link : folder + link;
  }
  return {path, -1, 0};
}

bool IsOpen(int fd) { return fcntl(fd, F_GETFD) >= 0; }

int OpenToWrite(const std::string& name) { return open(name.c_str(), O_WRONLY); }

int CreateNewFile(const std::string& path, const struct stat* replaced) {
  const mode_t mode = replaced != nullptr
                          ? replaced->st_mode & (S_IRUSR | S_IWUSR)
                          : S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;
  // Held until the handler knows the new file, so that no signal can leave it behind.
  const SignalsHeld held;
  CatchEndingSignals();
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, mode);
  if (fd >= 0) fileToRemove = path.c_str();
  return fd;
}

void KeepAccess(int fd, const struct stat& old, const std::string& oldPath) {
  // The owner first: the file is still open to its creator alone, and changing the owner clears
  // the set-ID bits. A user may give a file to a group of their own but to no other user, and
  // then the group alone is kept; where neither can be, the new file is the user's own.
  const bool ownerKept = fchown(fd, old.st_uid, old.st_gid) == 0;
  // Its result is kept only because fortified glibc will not have it ignored.
  [[maybe_unused]] const bool groupKept =
      ownerKept || fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0;
  // Then the old file's access control list, in the kernel's own form, in place of whatever the
  // folder's default one gave the new file; without one to copy, none, so that the mode below
  // opens the file to nobody that a default entry names.
  constexpr const char* kAcl = "system.posix_acl_access";
  std::string acl(256, '\0');
  ssize_t size = 0;
  while ((size = getxattr(oldPath.c_str(), kAcl, acl.data(), acl.size())) < 0 && errno == ERANGE) {
    acl.resize(acl.size() * 2);
  }
  if (size <= 0 || fsetxattr(fd, kAcl, acl.data(), static_cast<std::size_t>(size), 0) != 0) {
    static_cast<void>(fremovexattr(fd, kAcl));
  }
  // Last the mode, which the list has already set but for the set-ID and sticky bits. A set-ID
  // bit on a file that now belongs to someone else would hand that user's rights to whoever runs
  // it.
  const mode_t setId = ownerKept ? 0 : S_ISUID | S_ISGID;
  static_cast<void>(fchmod(fd, old.st_mode & 07777 & ~setId));
}

bool FlushToDisk(int fd) { return fsync(fd) == 0; }

bool PutInPlace(const std::string& path, const std::string& target) {
  if (rename(path.c_str(), target.c_str()) != 0) return false;
  fileToRemove = nullptr;
  return true;
}

void RemoveNewFileInHaste() {
  const char* const file = fileToRemove.load();
  if (file != nullptr) static_cast<void>(unlink(file));
}

void RemoveNewFile(const std::string& path) {
  static_cast<void>(unlink(path.c_str()));
  fileToRemove = nullptr;
}
