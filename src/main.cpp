#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <new>
#include <string>

#include "Diagnostics.h"
#include "Filter.h"
#include "Io.h"
#include "Options.h"
#include "Output.h"
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
  if (!WriteAll(STDOUT_FILENO, text.data(), text.size())) return WriteFailed(errno);
  return Finish(true);
}

// Below this, a guess is noted as uncertain. At 40 letters and more, the note was given for 99%
// of the wrong guesses and none of the right ones (bench/guess_accuracy.sh).
constexpr double kSureProbability = 0.99;

std::string Percent(double probability) {
  std::array<char, 16> text{};
  static_cast<void>(std::snprintf(text.data(), text.size(), "%.1f%%", 100 * probability));
  return text.data();
}

// Whether a ranking is used; says why not, or how unsure it is. `about` names the message.
bool Accept(const ShiftGuesser::Ranking& ranking, const std::string& about) {
  if (!ranking.readsAsEnglish) {
    Report(about + "no shift makes the text read as English");
    return false;
  }
  if (ranking.probabilities[0] < kSureProbability) {
    Report(about + "uncertain guess: shift " + std::to_string(ranking.shifts[0]) + " at " +
           Percent(ranking.probabilities[0]) + ", then shift " + std::to_string(ranking.shifts[1]) +
           " at " + Percent(ranking.probabilities[1]));
  }
  return true;
}

// `line` decrypted, in at most the 64 columns that a line of --list leaves on an 80-column
// terminal, with control bytes and bytes from 0x80 up in cat -v's notation, so that none of them
// can act on the terminal.
std::string Preview(const std::string& line) {
  constexpr std::size_t kColumns = 64;
  std::string shown;
  for (const char c : line) {
    auto byte = static_cast<unsigned char>(c);
    std::string glyph = byte >= 0x80 ? "M-" : "";
    byte &= 0x7F;
    if (byte < 0x20 || byte == 0x7F) {
      glyph += {'^', static_cast<char>(byte ^ 0x40)};
    } else {
      glyph += static_cast<char>(byte);
    }
    if (shown.size() + glyph.size() > kColumns) break;
    shown += glyph;
  }
  return shown;
}

std::string Listing(const ShiftGuesser::Ranking& ranking, const std::string& line) {
  std::string listing;
  for (std::size_t i = 0; i < 26; ++i) {
    const int shift = ranking.shifts[i];
    listing += std::to_string(shift) + '\t' + Percent(ranking.probabilities[i]) + '\t' +
               Preview(SimpleEncryption(shift).DecryptString(line)) + '\n';
  }
  return listing;
}

enum class Outcome { kDone, kFailed, kWriteFailed };

// --guess, --guess -d and --list on the current file, a message of its own. With `several`
// files, every line about it names it.
Outcome GuessOne(Options::Mode mode, InputFiles& input, const Writer& write, bool several,
                 bool& listed) {
  const Reader read = [&input](char* data, std::size_t capacity) {
    return input.Read(data, capacity);
  };
  const std::string name = QuoteName(input.Name());
  const std::string about = several ? name + ": " : "";
  if (mode == Options::Mode::kGuessDecrypt) {
    const auto accept = [&about](const ShiftGuesser::Ranking& ranking) {
      return Accept(ranking, about);
    };
    const GuessedDecryption result = DecryptWithGuessedShift(read, write, accept);
    if (result == GuessedDecryption::kWriteFailed) return Outcome::kWriteFailed;
    return result == GuessedDecryption::kDone ? Outcome::kDone : Outcome::kFailed;
  }
  const Sample sample = ReadSample(read);
  // A read error has been reported, and is this message's one diagnostic.
  if (input.CurrentFailed()) return Outcome::kFailed;
  if (sample.guesser.Letters() == 0) {
    Report(about + "no letters to guess the shift from");
    return Outcome::kFailed;
  }
  const ShiftGuesser::Ranking ranking = sample.guesser.Rank();
  std::string text;
  if (mode == Options::Mode::kList) {
    if (several) text = std::string(listed ? "\n" : "") + "==> " + name + " <==\n";
    listed = true;
    text += Listing(ranking, sample.firstLine.Text());
  } else {
    if (!Accept(ranking, about)) return Outcome::kFailed;
    text = std::to_string(ranking.shifts[0]) + (several ? "  " + name : "") + "\n";
  }
  return write(text.data(), text.size()) ? Outcome::kDone : Outcome::kWriteFailed;
}

// The filters: -e and -d on the files as one stream, the guess modes on each file by itself.
int RunFilter(const Options& options) {
  UseBinaryStandardStreams();
  Output output(options.output);
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
      if (!RotateStream(SimpleEncryption(options.shift), options.mode == Options::Mode::kEncrypt,
                        read, write)) {
        return EXIT_FAILURE;
      }
    } else {
      bool listed = false;
      while (input.Next()) {
        switch (GuessOne(options.mode, input, write, options.files.size() > 1, listed)) {
          case Outcome::kDone:
            break;
          case Outcome::kFailed:
            succeeded = false;
            break;
          case Outcome::kWriteFailed:
            return EXIT_FAILURE;
        }
      }
    }
    succeeded = succeeded && !input.Failed();
  }  // Every input closed, as Windows asks before a file in use can be replaced.
  return output.Finish(succeeded) ? EXIT_SUCCESS : EXIT_FAILURE;
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
      return Print(VersionText());
    default:
      return RunFilter(options);
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  OpenClosedStandardDescriptors();
  UseLocaleForMessages();
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    // Instead of the runtime's abort, which would leave a core dump and its own message.
    Report("memory exhausted");
    return EXIT_FAILURE;
  }
}
