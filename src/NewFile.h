#ifndef SIMPLE_ENCRYPTION_NEW_FILE_H
#define SIMPLE_ENCRYPTION_NEW_FILE_H

#include <sys/stat.h>

#include <string>

// The operating system's side of replacing a file with a new one written beside it: one file for
// POSIX systems, one for Windows. Each function that fails sets errno to the reason.
//
// The lifetime rule: from CreateNewFile until PutInPlace or RemoveNewFile, the new file's path
// is held, as a pointer into the string passed to CreateNewFile, for the signal handler and the
// handler for running out of memory, which remove the file. That string must stay alive and
// unchanged until then; Output's member holding the name does.

// Returns the folder part of `path`, ending in its separator, or "" for the current folder.
std::string FolderOf(const std::string& path);

// What a name given for the output reaches, decided as the kernel follows it, not by spelling.
struct OutputTarget {
  // The file that writing to the name replaces: the name with its symbolic links followed, also
  // to a file that the last link names and that does not exist yet, so that the link stays.
  std::string file;
  // The program's own descriptor that the name reaches, however it is spelled (/dev/stdout, a
  // link to it, /dev/./fd/1, /proc/self/fd/1, /proc/PID/fd/1), whether that descriptor is open
  // or not, or -1. Writing through it leaves the file behind it, and whatever else shares the
  // descriptor, as they are. The text of such a link is never taken for a file's name.
  int descriptor;
  // Why the name could not be followed, or 0. A link that cannot be read must not be replaced
  // by a file, as writing to the name itself would.
  int error;
};
OutputTarget TargetOf(const std::string& name);

// Returns whether `fd` is open.
bool IsOpen(int fd);

// Opens `name` to write to it as it is, as a device or a pipe is written. Returns -1 on failure.
int OpenToWrite(const std::string& name);

// Creates `path`, which must not exist yet, and opens it for writing. Returns -1 on failure.
// Where it will replace the file `replaced` describes, it is open to its creator alone, and no
// more than that file; otherwise it is made as a redirection makes a file, with the umask or the
// folder's default access control list. From then on, until the file is renamed or removed
// below, a signal that ends the program removes it first.
int CreateNewFile(const std::string& path, const struct stat* replaced);

// Gives the new file at `fd`, written, the owner, group, access control list and permission bits
// of the file `old` describes, at `oldPath`, as far as the user may, in an order that never leaves
// the new file more open than the old one. The access control list follows the mode alone where the
// old one cannot be read or the new one cannot take it.
void KeepAccess(int fd, const struct stat& old, const std::string& oldPath);

// Flushes what was written to `fd` to the disk. Returns false on failure.
bool FlushToDisk(int fd);

// Renames the new file at `path` over `target`. Returns false on failure.
bool PutInPlace(const std::string& path, const std::string& target);

// Removes the new file at `path`.
void RemoveNewFile(const std::string& path);

// Removes the new file, if there is one, with nothing but what a signal handler may call, and
// without allocating: for the end of the program where memory ran out.
void RemoveNewFileInHaste();

#endif  // SIMPLE_ENCRYPTION_NEW_FILE_H
