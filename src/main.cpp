#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <new>
#include <optional>
#include <string>

#include "Filter.h"
#include "Io.h"
#include "Options.h"
#include "ShiftGuess.h"
#include "SimpleEncryption.h"

namespace {

constexpr int kUsageError = 2;

// The end of a run that has written all it meant to.
int Finish(bool succeeded) {
  return CloseStandardOutput() && succeeded ? EXIT_SUCCESS : EXIT_FAILURE;
}

int WriteFailed(int errnum) {
  Report("write error", errnum);
  return EXIT_FAILURE;
}

int ReadFailed(int errnum) {
  Report("read error", errnum);
  return EXIT_FAILURE;
}

// The demonstration, then each line typed shown with its encryption and the decryption of that.
int RunSession(int shift) {
  // Speed, not correctness: synchronised with C stdio, libstdc++'s std::cin fetches every byte
  // with its own call to getc, while unsynchronised it reads into a buffer that getline searches
  // a block at a time, several times faster on long lines. libc++ reads through stdio either way.
  std::ios::sync_with_stdio(false);
  // Without this, running out of memory inside getline would only set badbit, and pass for a
  // read error; with it, the std::bad_alloc reaches main. A read error that libstdc++ records
  // arrives as std::ios_base::failure.
  std::cin.exceptions(std::ios::badbit);

  const SimpleEncryption cipher(shift);
  cipher.DemoEncryption();

  std::cout << "\nInteractive Mode:" << std::endl;
  std::string line;
  for (;;) {
    // Flushed here rather than by the read (cin is tied to cout), so that a prompt that cannot be
    // written ends the run at once instead of after the next line arrives. The stream records a
    // failed write, so this also catches one in the demonstration or the last block.
    std::cout << "Enter text to encrypt (or 'quit' to exit): " << std::flush;
    if (!std::cout) return WriteFailed(errno);
    bool gotLine = false;
    try {
      gotLine = static_cast<bool>(std::getline(std::cin, line));
    } catch (const std::ios_base::failure&) {
      return ReadFailed(errno);
    }
    // Where std::cin reads through C stdio (libc++), getline sees a read error as the end of
    // input, and only the C stream records it.
    if (std::ferror(stdin) != 0) return ReadFailed(errno);
    // End of input ends the session as "quit" does; there is no other line left to wait for.
    if (!gotLine || line == "quit" || line == "exit") {
      std::cout << "Goodbye!" << std::endl;
      if (!std::cout) return WriteFailed(errno);
      return Finish(true);
    }

    const std::string encrypted = cipher.EncryptString(line);
    const std::string decrypted = cipher.DecryptString(encrypted);
    std::cout << "Original:  " << line << std::endl;
    std::cout << "Encrypted: " << encrypted << std::endl;
    std::cout << "Decrypted: " << decrypted << std::endl;
    std::cout << std::endl;
  }
}

// Writes `text` to standard output and ends the run.
int Print(const std::string& text) {
  if (!WriteToStandardOutput(text.data(), text.size())) return WriteFailed(errno);
  return Finish(true);
}

void NoteIfUnsure(const ShiftGuesser::Result& guess) {
  if (!guess.sure) {
    Report("uncertain guess: shift " + std::to_string(guess.runnerUp) + " scores almost as well");
  }
}

// -e, -d, --guess and --guess -d: the named files, or standard input, as one stream.
int RunFilter(const Options& options) {
  UseBinaryStandardStreams();
  InputFiles input(options.files);
  const Reader read = [&input](char* data, std::size_t capacity) {
    return input.Read(data, capacity);
  };
  int writeError = 0;
  const Writer write = [&writeError](const char* data, std::size_t size) {
    if (WriteToStandardOutput(data, size)) return true;
    writeError = errno;
    return false;
  };
  const auto noLetters = [] { Report("no letters to guess the shift from"); };

  switch (options.mode) {
    case Options::Mode::kGuess: {
      const std::optional<ShiftGuesser::Result> guess = GuessShift(read);
      if (!guess) {
        noLetters();
        return Finish(false);
      }
      NoteIfUnsure(*guess);
      const std::string shown = std::to_string(guess->shift) + "\n";
      if (!write(shown.data(), shown.size())) return WriteFailed(writeError);
      break;
    }
    case Options::Mode::kGuessDecrypt:
      switch (DecryptWithGuessedShift(read, write, NoteIfUnsure)) {
        case GuessedDecryption::kDone:
          break;
        case GuessedDecryption::kNoLetters:
          noLetters();
          return Finish(false);
        case GuessedDecryption::kWriteFailed:
          return WriteFailed(writeError);
      }
      break;
    default:
      if (!RotateStream(SimpleEncryption(options.shift), options.mode == Options::Mode::kEncrypt,
                        read, write)) {
        return WriteFailed(writeError);
      }
  }
  return Finish(!input.Failed());
}

int Run(int argc, char** argv) {
  const ParsedCommandLine parsed = ParseCommandLine(argc, argv);
  if (!parsed.error.empty()) {
    Report(parsed.error + "\nTry 'simple_encryption --help' for more information.");
    return kUsageError;
  }
  const Options& options = parsed.options;
  switch (options.mode) {
    case Options::Mode::kSession:
      return RunSession(options.shift);
    case Options::Mode::kHelp:
      return Print(HelpText());
    case Options::Mode::kVersion:
      return Print("simple_encryption " SIMPLE_ENCRYPTION_VERSION "\n");
    default:
      return RunFilter(options);
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    // Instead of the runtime's abort, which would leave a core dump and its own message.
    Report("memory exhausted");
    return EXIT_FAILURE;
  }
}
