#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <unistd.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <string>

#include "NewFile.h"

// Windows has no symbolic links that a user makes in passing, no descriptors named as files,
// and no owners to keep; Ctrl-C is not a signal that a handler can clean up after.

namespace {

// The new file, for RemoveNewFileInHaste.
std::atomic<const char*> fileToRemove{nullptr};

}  // namespace

std::string FolderOf(const std::string& path) {
  const std::size_t separator = path.find_last_of("/\\");
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

OutputTarget TargetOf(const std::string& name) { return {name, -1, 0}; }

bool IsOpen(int fd) { return _get_osfhandle(fd) != -1; }

int OpenToWrite(const std::string& name) { return open(name.c_str(), O_WRONLY | O_BINARY); }

int CreateNewFile(const std::string& path, const struct stat* /*replaced*/) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, S_IREAD | S_IWRITE);
  if (fd >= 0) fileToRemove = path.c_str();
  return fd;
}

void KeepAccess(int /*fd*/, const struct stat& /*old*/, const std::string& /*oldPath*/) {}

bool FlushToDisk(int fd) { return _commit(fd) == 0; }

bool PutInPlace(const std::string& path, const std::string& target) {
  // A plain rename there refuses to replace a file.
  if (MoveFileExA(path.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0) {
    fileToRemove = nullptr;
    return true;
  }
  errno = EACCES;
  return false;
}

void RemoveNewFile(const std::string& path) {
  static_cast<void>(unlink(path.c_str()));
  fileToRemove = nullptr;
}

void RemoveNewFileInHaste() {
  const char* const file = fileToRemove.load();
  if (file != nullptr) static_cast<void>(unlink(file));
}
