#ifndef SIMPLE_ENCRYPTION_IO_H
#define SIMPLE_ENCRYPTION_IO_H

#include <cstddef>
#include <string>
#include <vector>

// The program's side of the operating system: files, standard streams and messages, through the
// POSIX calls that MinGW-w64 has too.

// Writes one line to standard error: the program's name, `what`, and the reason `errnum` stands
// for when it is not 0.
void Report(const std::string& what, int errnum = 0);

// Writes all `size` bytes to standard output. Returns false if it could not, with errno set to
// the reason, or to 0 for a write that wrote nothing.
bool WriteToStandardOutput(const char* data, std::size_t size);

// Closes standard output and reports a failure there, which some file systems give only then.
// Returns false if it failed.
bool CloseStandardOutput();

// Stops Windows from turning line feeds into CR LF and from taking Ctrl-Z as the end of the
// input on standard input and output. Does nothing elsewhere.
void UseBinaryStandardStreams();

// The named files read one after the other as one stream, "-" standing for standard input, as
// does an empty list. A file that cannot be opened or read is reported and skipped.
class InputFiles {
 public:
  explicit InputFiles(std::vector<std::string> fileNames);
  ~InputFiles();
  InputFiles(const InputFiles&) = delete;
  InputFiles& operator=(const InputFiles&) = delete;
  InputFiles(InputFiles&&) = delete;
  InputFiles& operator=(InputFiles&&) = delete;

  // Reads up to `capacity` bytes of the stream into `data` and returns how many; 0 at its end.
  std::size_t Read(char* data, std::size_t capacity);
  // Returns whether a file could not be opened or read.
  [[nodiscard]] bool Failed() const { return failed; }

 private:
  void CloseCurrent();

  std::vector<std::string> names;
  std::size_t next = 0;     // the index of the next name to open
  std::size_t current = 0;  // the index of the file being read, when fd is open
  int fd = -1;              // the file being read, or -1 between files
  bool failed = false;
};

#endif  // SIMPLE_ENCRYPTION_IO_H
