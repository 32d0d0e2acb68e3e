#ifndef SIMPLE_ENCRYPTION_OPTIONS_H
#define SIMPLE_ENCRYPTION_OPTIONS_H

#include <optional>
#include <string>
#include <vector>

#include "Alphabet.h"
#include "ShiftGuess.h"

// What the command line asks for.
struct Options {
  enum class Mode {
    kSession,       // no mode option: the demonstration, then lines typed until quit or exit
    kEncrypt,       // -e
    kDecrypt,       // -d
    kGuess,         // --guess
    kGuessDecrypt,  // --guess -d
    kList,          // --list
    kFind,          // --find
    kFindDecrypt,   // --find -d
    kHelp,          // -h, --help
    kVersion,       // --version
  };
  Mode mode = Mode::kSession;
  int shift = 3;
  std::optional<Alphabet> alphabet;  // -a, for the filters; if not given, the ASCII letters, or
                                     // for a guess, whichever alphabet the text's letters are in
  std::string output = "-";          // -o, for the filters; "-" for standard output
  std::vector<std::string> files;    // operands, for the filters
  Steering steering;                 // --lang and --crib, for a guess
  std::size_t width = 64;            // --width, for --list: columns of the preview, 0 for all
  bool json = false;                 // --json, for --guess and --list
  bool lines = false;                // --lines, for --guess and --list: each line a message
};

// Reads the command line with getopt_long. On a usage error, returns the problem in `error`.
struct ParsedCommandLine {
  Options options;
  std::string error;  // empty if the command line is valid
};
ParsedCommandLine ParseCommandLine(int argc, char** argv);

// Returns the text that --help prints.
std::string HelpText();
// Returns the text that --version prints.
std::string VersionText();

#endif  // SIMPLE_ENCRYPTION_OPTIONS_H
