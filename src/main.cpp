#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "Alphabet.h"
#include "Diagnostics.h"
#include "Filter.h"
#include "Find.h"
#include "Guess.h"
#include "Io.h"
#include "LanguageModels.h"
#include "NewFile.h"
#include "Options.h"
#include "Output.h"
#include "SimpleEncryption.h"
#include "WriteAll.h"

namespace {

constexpr int kUsageError = 2;

// Where memory runs out: reported and ended without an exception, whose own memory may be what
// is missing, so that the runtime would abort. Nothing here allocates.
[[noreturn]] void EndForLackOfMemory() {
  constexpr std::string_view kMessage = "simple_encryption: memory exhausted\n";
  static_cast<void>(WriteAll(STDERR_FILENO, kMessage.data(), kMessage.size()));
  RemoveNewFileInHaste();
  _exit(EXIT_FAILURE);
}

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
  // A read error that libstdc++ records arrives as std::ios_base::failure, with errno still
  // telling why, rather than as a badbit that looks like the end of input.
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
  if (!WriteAll(STDOUT_FILENO, text.data(), text.size())) return WriteFailed(errno);
  return Finish(true);
}

// The alphabets a guess reads its text in: the one -a names, or every one of its own script, or
// with --lang, those of the languages named.
std::vector<std::size_t> AlphabetsToGuess(const Options& options) {
  if (options.alphabet) return {options.alphabet->Row()};
  const std::vector<bool>& languages = options.steering.languages;
  if (languages.empty()) return GuessedAlphabets();
  std::vector<std::size_t> alphabets;
  for (std::size_t row = 0; row < languages.size(); ++row) {
    const std::size_t alphabet = kLanguageModels[row].alphabet;
    if (languages[row] &&
        std::find(alphabets.begin(), alphabets.end(), alphabet) == alphabets.end()) {
      alphabets.push_back(alphabet);
    }
  }
  std::sort(alphabets.begin(), alphabets.end());
  return alphabets;
}

// The guess modes and --find on each file by itself, in turn.
Outcome EachFile(const Options& options, InputFiles& input, const Writer& write) {
  const GuessOutput guessOutput = options.mode == Options::Mode::kList ? GuessOutput::kListing
                                  : options.mode == Options::Mode::kGuess
                                      ? GuessOutput::kShift
                                      : GuessOutput::kDecryption;
  const bool finding =
      options.mode == Options::Mode::kFind || options.mode == Options::Mode::kFindDecrypt;
  const Reader read = [&input](char* data, std::size_t capacity) {
    return input.Read(data, capacity);
  };
  const std::vector<std::size_t> alphabets = AlphabetsToGuess(options);
  Outcome all = Outcome::kDone;
  bool first = true;
  while (input.Next(options.json)) {
    const Message message{read,
                          [&input] { return input.CurrentFailed(); },
                          QuoteName(input.Name()),
                          options.files.size() > 1,
                          first,
                          alphabets,
                          options.alphabet.has_value(),
                          input.Name(),
                          options.steering,
                          options.width,
                          options.json};
    const Outcome outcome =
        finding         ? FindInMessage(options.mode == Options::Mode::kFindDecrypt, message, write)
        : options.lines ? GuessLines(guessOutput, message, write)
                        : GuessMessage(guessOutput, message, write);
    first = false;
    if (outcome == Outcome::kWriteFailed) return outcome;
    if (outcome != Outcome::kDone) all = outcome;
  }
  return all;
}

// The filters: -e and -d on the files as one stream, the guess modes on each file by itself.
int RunFilter(const Options& options, const ClosedAtStart& closed) {
  UseBinaryStandardStreams();
  Output output(options.output, closed);
  if (!output.Open()) return EXIT_FAILURE;
  const Writer write = [&output](const char* data, std::size_t size) {
    return output.Write(data, size);
  };
  bool succeeded = true;
  {
    InputFiles input(options.files, output.Descriptor());
    if (options.mode == Options::Mode::kEncrypt || options.mode == Options::Mode::kDecrypt) {
      const Reader read = [&input](char* data, std::size_t capacity) {
        return input.ReadAll(data, capacity);
      };
      AlphabetRotation rotation(
          options.alphabet ? *options.alphabet : PresetAlphabet(kDefaultAlphabet), options.shift,
          options.mode == Options::Mode::kEncrypt);
      if (!RotateStream(rotation, read, write)) return EXIT_FAILURE;
    } else {
      const Outcome outcome = EachFile(options, input, write);
      if (outcome == Outcome::kWriteFailed) return EXIT_FAILURE;
      succeeded = outcome == Outcome::kDone;
    }
    succeeded = succeeded && !input.Failed();
  }  // Every input closed, as Windows asks before a file in use can be replaced.
  return output.Finish(succeeded) ? EXIT_SUCCESS : EXIT_FAILURE;
}

int Run(int argc, char** argv, const ClosedAtStart& closed) {
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
      return Print(VersionText());
    default:
      return RunFilter(options, closed);
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  ClosedAtStart closed{};
  if (!OpenClosedStandardDescriptors(closed)) {
    Report("cannot open /dev/null in place of a closed standard descriptor", errno);
    return EXIT_FAILURE;
  }
  UseLocaleForMessages();
  std::set_new_handler(EndForLackOfMemory);
#ifdef SIGXFSZ
  // A write past the file size limit then fails with EFBIG, which is reported, and a new file
  // cleaned up, rather than ending the program where it stands.
  static_cast<void>(std::signal(SIGXFSZ, SIG_IGN));
#endif
  return Run(argc, argv, closed);
}
