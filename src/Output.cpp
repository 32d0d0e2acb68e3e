#include "Output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <string>
#include <utility>

#include "Io.h"
#include "Quote.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>
#endif

namespace {

#ifdef _WIN32
constexpr int kOpenForWriting = O_WRONLY | O_BINARY;
constexpr const char* kSeparators = "/\\";
#else
constexpr int kOpenForWriting = O_WRONLY;
constexpr const char* kSeparators = "/";
#endif

// The folder part of `path`, ending in its separator, or empty for the current folder.
std::string Folder(const std::string& path) {
  const std::size_t separator = path.find_last_of(kSeparators);
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

#ifndef _WIN32
// The file that `path` names once symbolic links are followed, including one that the last link
// names and that does not exist yet, so that the link stays and its file is replaced.
std::string FollowLinks(std::string path) {
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
    path = link[0] == '/' ? link : Folder(path).append(link);
  }
  return path;
}

// The new file, for the signal handler to remove: the one piece of state the program shares with
// it, since a handler can reach nothing else.
std::atomic<const char*> fileToRemove{nullptr};

constexpr std::array<int, 3> kEndingSignals = {SIGHUP, SIGINT, SIGTERM};

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
  sigemptyset(&action.sa_mask);
  for (const int signal : kEndingSignals) sigaddset(&action.sa_mask, signal);
  action.sa_flags = static_cast<int>(SA_RESETHAND);
  for (const int signal : kEndingSignals) {
    struct sigaction current {};
    // A signal ignored from the start, as under nohup, stays ignored.
    if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
      static_cast<void>(sigaction(signal, &action, nullptr));
    }
  }
  // Past the file size limit a write then fails with EFBIG, which is reported and cleaned up,
  // instead of ending the program with the new file left behind.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  static_cast<void>(sigaction(SIGXFSZ, &ignore, nullptr));
}

// Holds the ending signals back while the new file is created and not yet known to the handler.
class EndingSignalsHeld {
 public:
  EndingSignalsHeld() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : kEndingSignals) sigaddset(&signals, signal);
    static_cast<void>(sigprocmask(SIG_BLOCK, &signals, &saved));
  }
  ~EndingSignalsHeld() { static_cast<void>(sigprocmask(SIG_SETMASK, &saved, nullptr)); }
  EndingSignalsHeld(const EndingSignalsHeld&) = delete;
  EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;
  EndingSignalsHeld(EndingSignalsHeld&&) = delete;
  EndingSignalsHeld& operator=(EndingSignalsHeld&&) = delete;

 private:
  sigset_t saved{};
};
#endif

}  // namespace

Output::Output(std::string fileName) : name(std::move(fileName)) {}

Output::~Output() { Discard(); }

bool Output::Open() {
  if (ToStandardOutput()) {
    fd = STDOUT_FILENO;
    return true;
  }
  struct stat status {};
  const bool exists = stat(name.c_str(), &status) == 0;
  if (!exists && errno != ENOENT) return Fail(errno);
  if (exists && !S_ISREG(status.st_mode)) {
    // A device or a pipe is written as it is; a directory fails here, with EISDIR.
    fd = open(name.c_str(), kOpenForWriting);
    return fd >= 0 || Fail(errno);
  }
  if (exists) {
    // Renaming over a file that the user may not write would bypass its permissions.
    const int probe = open(name.c_str(), kOpenForWriting);
    if (probe < 0) return Fail(errno);
    static_cast<void>(close(probe));
  }
#ifdef _WIN32
  target = name;
#else
  target = FollowLinks(name);
  // Held until the handler knows the new file's name, so that no signal can leave it behind.
  const EndingSignalsHeld held;
  CatchEndingSignals();
#endif
  temporary = Folder(target) + ".simple_encryption-XXXXXX";
  fd = mkstemp(temporary.data());
  if (fd < 0) {
    temporary.clear();
    return Fail(errno);
  }
#ifndef _WIN32
  fileToRemove = temporary.c_str();
  // The owner first, since changing it clears the set-ID bits. A user may give a file to a group
  // of their own but to no other user, and then the group alone is kept; where neither can be,
  // the new file is the user's own.
  [[maybe_unused]] const bool ownerKept =
      exists && (fchown(fd, status.st_uid, status.st_gid) == 0 ||
                 fchown(fd, static_cast<uid_t>(-1), status.st_gid) == 0);
  // A new file gets what a shell redirection would give it. Where the file system has no modes to
  // set, the file keeps mkstemp's 0600, which gives nothing away.
  const mode_t mask = umask(0);
  static_cast<void>(umask(mask));
  static_cast<void>(fchmod(fd, exists ? status.st_mode & 07777 : 0666 & ~mask));
#endif
  return true;
}

bool Output::Write(const char* data, std::size_t size) {
  if (WriteAll(fd, data, size)) return true;
  if (ToStandardOutput()) {
    Report("write error", errno);
    return false;
  }
  return Fail(errno);
}

bool Output::Finish(bool succeeded) {
  if (ToStandardOutput()) return CloseStandardOutput() && succeeded;
  if (!succeeded) {
    Discard();
    return false;
  }
  if (temporary.empty()) return close(std::exchange(fd, -1)) == 0 || Fail(errno);
  return Replace();
}

bool Output::Fail(int errnum) {
  Report(QuoteName(name), errnum);
  Discard();
  return false;
}

bool Output::Replace() {
#ifdef _WIN32
  if (_commit(fd) != 0) return Fail(errno);
#else
  if (fsync(fd) != 0) return Fail(errno);
#endif
  if (close(std::exchange(fd, -1)) != 0) return Fail(errno);
#ifdef _WIN32
  // A plain rename there refuses to replace a file.
  if (MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) == 0) {
    return Fail(EACCES);
  }
#else
  if (rename(temporary.c_str(), target.c_str()) != 0) return Fail(errno);
  fileToRemove = nullptr;
#endif
  temporary.clear();
  return true;
}

void Output::Discard() {
  if (fd >= 0 && !ToStandardOutput()) static_cast<void>(close(fd));
  fd = -1;
  if (temporary.empty()) return;
  static_cast<void>(unlink(temporary.c_str()));
#ifndef _WIN32
  fileToRemove = nullptr;
#endif
  temporary.clear();
}
