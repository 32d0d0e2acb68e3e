#ifndef SIMPLE_ENCRYPTION_OUTPUT_H
#define SIMPLE_ENCRYPTION_OUTPUT_H

#include <sys/stat.h>

#include <cstddef>
#include <optional>
#include <string>

#include "Io.h"
#include "NewFile.h"

// Where a filter writes: standard output, or a named file. A named regular file is written as a
// new file in its folder, which replaces it only once everything has been written and flushed
// to disk, so that a failure at any step, or an end by any signal that can be caught, leaves it
// as it was, and leaves no new file behind. The new file is never more open than the old one: it
// is made open to its creator alone, and once written gets the old one's owner and group where
// the user may set them, its access control list and its permission bits. A symbolic link is
// followed, and stays. Other files, such as /dev/null or a pipe, and names of the program's own
// descriptors, such as /dev/stdout, are written directly. Every failure is reported, once.
class Output {
 public:
  // `fileName` "-" stands for standard output. A name that reaches a standard descriptor that
  // was closed when the program started, as `closed` says, is refused as a bad descriptor.
  Output(std::string fileName, const ClosedAtStart& closed);
  // Removes the new file unless Finish put it in place.
  ~Output();
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  Output(Output&&) = delete;
  Output& operator=(Output&&) = delete;

  // Gets the output ready to write. Returns false if it cannot be.
  bool Open();
  // Returns the descriptor written to, so that an input can be recognised as the output.
  [[nodiscard]] int Descriptor() const { return fd; }
  // Writes all `size` bytes at `data`. Returns false if it could not.
  bool Write(const char* data, std::size_t size);
  // When `succeeded`, finishes the output: checks that standard output closes, or puts the new
  // file in place of the named one. Otherwise only removes the new file. Returns whether the run
  // succeeded, both before and here.
  bool Finish(bool succeeded);

 private:
  bool Fail(int errnum);
  bool CreateBeside(const std::string& file);
  bool Replace();
  void Discard();

  std::string name;
  OutputTarget reached;  // what the name reaches
  ClosedAtStart closedAtStart;
  bool standardOutput;
  bool ownDescriptor = false;           // a descriptor the program was given, written as it is
  std::string temporary;                // the new file while it exists, or empty
  std::optional<struct stat> replaced;  // the file it replaces, if there was one
  int fd = -1;
};

#endif  // SIMPLE_ENCRYPTION_OUTPUT_H
