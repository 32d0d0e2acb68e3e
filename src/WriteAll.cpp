#include "WriteAll.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>

#ifdef _WIN32
#include <io.h>
#endif

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const auto wrote = write(fd, data, static_cast<unsigned>(std::min(size, kMostPerCall)));
    if (wrote < 0 && errno == EINTR) continue;
    // A write that makes no progress would make none if retried either; like the core utilities,
    // take it for a full disk.
    if (wrote <= 0) {
      if (wrote == 0) errno = ENOSPC;
      return false;
    }
    data += wrote;
    size -= static_cast<std::size_t>(wrote);
  }
  return true;
}
