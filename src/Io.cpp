#include "Io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "Diagnostics.h"
#include "WriteAll.h"

#ifdef _WIN32
#include <io.h>
#endif

namespace {

#ifdef _WIN32
constexpr int kOpenForReading = O_RDONLY | O_BINARY;
#else
constexpr int kOpenForReading = O_RDONLY;
#endif

const std::string kStandardInput = "-";

}  // namespace

bool OpenClosedStandardDescriptors(ClosedAtStart& closed) {
  closed = {};
#ifndef _WIN32
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    closed[static_cast<std::size_t>(fd)] = true;
    // The lowest free descriptor is this one, since the lower ones are open by now.
    if (open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY) < 0) return false;
  }
#endif
  return true;
}

bool CloseStandardOutput() {
  // A standard output that was closed from the start has nothing left to lose; had anything been
  // written to it, that write would have failed and been reported already.
  if (close(STDOUT_FILENO) != 0 && errno != EBADF) {
    Report("write error", errno);
    return false;
  }
  return true;
}

void UseBinaryStandardStreams() {
#ifdef _WIN32
  static_cast<void>(_setmode(STDIN_FILENO, O_BINARY));
  static_cast<void>(_setmode(STDOUT_FILENO, O_BINARY));
#endif
}

InputFiles::InputFiles(std::vector<std::string> fileNames, int outputFd)
    : names(std::move(fileNames)), output(outputFd) {
  if (names.empty()) names.push_back(kStandardInput);
}

InputFiles::~InputFiles() { Close(); }

bool InputFiles::Next(bool everyOne) {
  Close();
  while (next < names.size()) {
    current = next++;
    currentFailed = false;
    const std::string& name = names[current];
    fd = name == kStandardInput ? STDIN_FILENO : open(name.c_str(), kOpenForReading);
    if (fd < 0) {
      Report(QuoteName(name), errno);
    } else if (IsOutput(fd)) {
      Report(QuoteName(name) + ": input file is output file");
      Close();
    } else {
      return true;
    }
    currentFailed = failed = true;
    if (everyOne) return true;
  }
  return false;
}

std::size_t InputFiles::Read(char* data, std::size_t capacity) {
  while (fd >= 0) {
    const auto got = read(fd, data, static_cast<unsigned>(std::min(capacity, kMostPerCall)));
    if (got > 0) return static_cast<std::size_t>(got);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const std::string& name = names[current];
      Report(name == kStandardInput ? "read error" : QuoteName(name), errno);
      currentFailed = failed = true;
    }
    Close();
  }
  return 0;
}

std::size_t InputFiles::ReadAll(char* data, std::size_t capacity) {
  for (;;) {
    const std::size_t got = Read(data, capacity);
    if (got > 0 || !Next()) return got;
  }
}

void InputFiles::Close() {
  if (fd >= 0 && names[current] != kStandardInput) static_cast<void>(close(fd));
  fd = -1;
}

bool InputFiles::IsOutput(int file) const {
#ifdef _WIN32
  // Windows gives no inode numbers to compare.
  static_cast<void>(file);
  return false;
#else
  struct stat in {};
  struct stat out {};
  // As cat decides: a file truncated by `>` has nothing left to read, and is harmless.
  return fstat(output, &out) == 0 && S_ISREG(out.st_mode) && fstat(file, &in) == 0 &&
         in.st_dev == out.st_dev && in.st_ino == out.st_ino &&
         lseek(file, 0, SEEK_CUR) < in.st_size;
#endif
}
