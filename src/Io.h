#ifndef SIMPLE_ENCRYPTION_IO_H
#define SIMPLE_ENCRYPTION_IO_H

#include <array>
#include <cstddef>
#include <string>
#include <vector>

// The program's side of the operating system: files, standard streams and messages, through the
// POSIX calls that MinGW-w64 has too.

// Which of descriptors 0, 1 and 2 were closed when the program started.
using ClosedAtStart = std::array<bool, 3>;

// Opens /dev/null on whichever of descriptors 0, 1 and 2 is closed, so that no file the program
// opens later takes its place, and a message or the output cannot land in it. Standard input is
// opened for writing and the others for reading, so that using them fails as it would have.
// Returns false, with errno set, if one of them cannot be: the run must then end before it
// writes anything. Records in `closed` which ones were closed.
bool OpenClosedStandardDescriptors(ClosedAtStart& closed);

// Closes standard output and reports a failure there, which some file systems give only then.
// Returns false if it failed.
bool CloseStandardOutput();

// Stops Windows from turning line feeds into CR LF and from taking Ctrl-Z as the end of the
// input on standard input and output. Does nothing elsewhere.
void UseBinaryStandardStreams();

// The named files, "-" standing for standard input, as does an empty list, each opened in turn.
// A file that cannot be opened or read is reported, and so is one that is the regular file open
// at `outputFd` and has more to read: it would read back what is written to it, and never end.
class InputFiles {
 public:
  InputFiles(std::vector<std::string> fileNames, int outputFd);
  ~InputFiles();
  InputFiles(const InputFiles&) = delete;
  InputFiles& operator=(const InputFiles&) = delete;
  InputFiles(InputFiles&&) = delete;
  InputFiles& operator=(InputFiles&&) = delete;

  // Moves on to the next file that can be opened, or with `everyOne`, to the next file, which
  // if it cannot be opened reads as empty and failed. Returns false when there is none left.
  bool Next(bool everyOne = false);
  // Reads up to `capacity` bytes of the current file into `data` and returns how many; 0 at its
  // end, and after a read error, which it reports.
  std::size_t Read(char* data, std::size_t capacity);
  // Reads the files one after the other, as one stream.
  std::size_t ReadAll(char* data, std::size_t capacity);
  // Returns the current file's name.
  [[nodiscard]] const std::string& Name() const { return names[current]; }
  // Returns whether the current file could not be read.
  [[nodiscard]] bool CurrentFailed() const { return currentFailed; }
  // Returns whether any file could not be opened or read.
  [[nodiscard]] bool Failed() const { return failed; }

 private:
  void Close();
  [[nodiscard]] bool IsOutput(int file) const;

  std::vector<std::string> names;
  int output;
  std::size_t next = 0;     // the index of the next name to open
  std::size_t current = 0;  // the index of the current file
  int fd = -1;              // the current file, or -1 at its end
  bool currentFailed = false;
  bool failed = false;
};

#endif  // SIMPLE_ENCRYPTION_IO_H
