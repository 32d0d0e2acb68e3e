#ifndef SIMPLE_ENCRYPTION_NEW_FILE_H
#define SIMPLE_ENCRYPTION_NEW_FILE_H

#include <sys/stat.h>

#include <string>

// The operating system's side of replacing a file with a new one written beside it: one file for
// POSIX systems, one for Windows. Each function that fails sets errno to the reason.

// Returns the folder part of `path`, ending in its separator, or "" for the current folder.
std::string FolderOf(const std::string& path);

// Returns the file that writing to `name` replaces: `name` with its symbolic links followed, also
// to a file that the last link names and that does not exist yet, so that the link stays.
std::string FileToReplace(const std::string& name);

// Returns the descriptor that `name` reaches when it names one of the program's own open
// descriptors, as /dev/stdout, /dev/fd/N and /proc/self/fd/N do, or -1. Writing through it
// leaves the file behind it, and whatever else shares the descriptor, as they are.
int OwnDescriptor(const std::string& name);

// Opens `name` to write to it as it is, as a device or a pipe is written. Returns -1 on failure.
int OpenToWrite(const std::string& name);

// Creates `path`, which must not exist yet, with the permissions that a shell redirection would
// give it, and opens it for writing. Returns -1 on failure. From then on, until the file is
// renamed or removed below, a signal that ends the program removes it first.
int CreateNewFile(const std::string& path);

// Gives the new file at `fd` the owner, group and permission bits of the file `old` describes,
// as far as the user may.
void KeepOwnerAndMode(int fd, const struct stat& old);

// Flushes what was written to `fd` to the disk. Returns false on failure.
bool FlushToDisk(int fd);

// Renames the new file at `path` over `target`. Returns false on failure.
bool PutInPlace(const std::string& path, const std::string& target);

// Removes the new file at `path`.
void RemoveNewFile(const std::string& path);

#endif  // SIMPLE_ENCRYPTION_NEW_FILE_H
