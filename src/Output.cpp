#include "Output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <random>
#include <string>
#include <utility>

#include "Diagnostics.h"
#include "Io.h"
#include "NewFile.h"
#include "WriteAll.h"

Output::Output(std::string fileName, const ClosedAtStart& closed)
    : name(std::move(fileName)),
      reached(name == "-" ? OutputTarget{name, STDOUT_FILENO, 0} : TargetOf(name)),
      closedAtStart(closed),
      standardOutput(reached.descriptor == STDOUT_FILENO) {}

Output::~Output() { Discard(); }

bool Output::Open() {
  if (standardOutput) {
    fd = STDOUT_FILENO;
    return true;
  }
  if (reached.error != 0) return Fail(reached.error);
  if (reached.descriptor >= 0) {
    // What the program opened in place of a closed descriptor is nobody's file to write to.
    const auto standard = static_cast<std::size_t>(reached.descriptor);
    if (standard < closedAtStart.size() && closedAtStart[standard]) return Fail(EBADF);
    if (IsOpen(reached.descriptor)) {
      fd = reached.descriptor;
      ownDescriptor = true;
      return true;
    }
    // Not open: the kernel's own answer to the name, as the user gave it.
  }
  struct stat status {};
  const bool exists = stat(name.c_str(), &status) == 0;
  if (!exists && errno != ENOENT) return Fail(errno);
  if (reached.descriptor >= 0 || (exists && !S_ISREG(status.st_mode))) {
    // A device or a pipe is written as it is; a directory fails here, with EISDIR.
    fd = OpenToWrite(name);
    return fd >= 0 || Fail(errno);
  }
  if (exists) {
    // Renaming over a file that the user may not write would bypass its permissions.
    const int probe = OpenToWrite(name);
    if (probe < 0) return Fail(errno);
    static_cast<void>(close(probe));
    // The new file gets the old file's access only once everything is written: a write by
    // anyone but root would clear a set-user-ID bit given before it.
    replaced = status;
  }
  return CreateBeside(reached.file);
}

// Creates the new file under a name that no other run picks, so that two runs on one folder do
// not write into one file.
bool Output::CreateBeside(const std::string& file) {
  const std::string folder = FolderOf(file);
  constexpr const char* kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device seed;
  std::minstd_rand random(seed());
  std::uniform_int_distribution<int> letter(0, 61);
  constexpr int kTries = 100;
  for (int tries = 0; tries < kTries; ++tries) {
    temporary = folder + ".simple_encryption-";
    for (int i = 0; i < 6; ++i) temporary += kLetters[letter(random)];
    fd = CreateNewFile(temporary, replaced ? &*replaced : nullptr);
    if (fd >= 0) return true;
    if (errno != EEXIST) break;
  }
  const int errnum = errno;
  temporary.clear();
  // Not the output's name: it may well be writable, while its folder is not.
  Report("cannot create a file in " + Quote(folder.empty() ? "." : folder), errnum);
  return false;
}

bool Output::Write(const char* data, std::size_t size) {
  if (WriteAll(fd, data, size)) return true;
  if (standardOutput) {
    Report("write error", errno);
    return false;
  }
  return Fail(errno);
}

bool Output::Finish(bool succeeded) {
  if (standardOutput) return CloseStandardOutput() && succeeded;
  if (ownDescriptor) return succeeded;
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
  if (replaced) KeepAccess(fd, *replaced, reached.file);
  if (!FlushToDisk(fd)) return Fail(errno);
  if (close(std::exchange(fd, -1)) != 0) return Fail(errno);
  if (!PutInPlace(temporary, reached.file)) return Fail(errno);
  temporary.clear();
  return true;
}

void Output::Discard() {
  if (fd >= 0 && !standardOutput && !ownDescriptor) static_cast<void>(close(fd));
  fd = -1;
  if (temporary.empty()) return;
  RemoveNewFile(temporary);
  temporary.clear();
}
