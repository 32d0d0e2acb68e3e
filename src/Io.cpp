#include "Io.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <io.h>
#endif

namespace {

#ifdef _WIN32
constexpr int kOpenForReading = O_RDONLY | O_BINARY;
#else
constexpr int kOpenForReading = O_RDONLY;
#endif

// Windows counts the bytes of one read or write in an unsigned int; a smaller call is no slower.
constexpr std::size_t kMostPerCall = std::size_t{1} << 30;

const std::string kStandardInput = "-";

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const auto wrote = write(fd, data, static_cast<unsigned>(std::min(size, kMostPerCall)));
    if (wrote < 0 && errno == EINTR) continue;
    // A write that makes no progress would make none if retried either.
    if (wrote <= 0) {
      if (wrote == 0) errno = 0;
      return false;
    }
    data += wrote;
    size -= static_cast<std::size_t>(wrote);
  }
  return true;
}

}  // namespace

void Report(const std::string& what, int errnum) {
  std::string line = "simple_encryption: " + what;
  if (errnum != 0) line += std::string(": ") + std::strerror(errnum);
  line += '\n';
  // One write, so that the line is not interleaved with another process's message. There is
  // nowhere left to report a failure of it.
  static_cast<void>(WriteAll(STDERR_FILENO, line.data(), line.size()));
}

bool WriteToStandardOutput(const char* data, std::size_t size) {
  return WriteAll(STDOUT_FILENO, data, size);
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

InputFiles::InputFiles(std::vector<std::string> fileNames) : names(std::move(fileNames)) {
  if (names.empty()) names.push_back(kStandardInput);
}

InputFiles::~InputFiles() { CloseCurrent(); }

std::size_t InputFiles::Read(char* data, std::size_t capacity) {
  for (;;) {
    if (fd < 0) {
      if (next == names.size()) return 0;
      current = next++;
      const std::string& name = names[current];
      fd = name == kStandardInput ? STDIN_FILENO : open(name.c_str(), kOpenForReading);
      if (fd < 0) {
        Report(name, errno);
        failed = true;
        continue;
      }
    }
    const auto got = read(fd, data, static_cast<unsigned>(std::min(capacity, kMostPerCall)));
    if (got > 0) return static_cast<std::size_t>(got);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const std::string& name = names[current];
      Report(name == kStandardInput ? "read error" : name, errno);
      failed = true;
    }
    CloseCurrent();
  }
}

void InputFiles::CloseCurrent() {
  if (fd >= 0 && names[current] != kStandardInput) static_cast<void>(close(fd));
  fd = -1;
}
