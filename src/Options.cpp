#include "Options.h"

#include <getopt.h>

#include <array>
#include <charconv>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr int kVersionOption = 256;  // a long option with no short form

// Reads a decimal int, sign allowed, and nothing else: no spaces, no base prefix, no locale.
// Returns the problem, or an empty string.
std::string ParseShift(const std::string& text, int& shift) {
  const char* first = text.data();
  const char* const last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  const auto [end, error] = std::from_chars(first, last, shift);
  // from_chars takes a '-' itself, but must not after a '+'.
  const bool signTwice = first != text.data() && first != last && *first == '-';
  if (error == std::errc::result_out_of_range && end == last && !signTwice) {
    return "shift out of range: '" + text + "'";
  }
  if (error != std::errc() || end != last || signTwice) return "invalid shift: '" + text + "'";
  return "";
}

// The problem with the option just read, in the core utilities' words. getopt_long's own messages
// are off: they name the program as it was invoked, and differ from one C library to another.
std::string OptionError(int result, int badOption, const char* word) {
  const std::string given = word == nullptr ? "" : word;
  const bool longOption = given.rfind("--", 0) == 0;
  const std::string name = given.substr(0, given.find('='));
  if (result == ':') {
    if (longOption) return "option '" + name + "' requires an argument";
    return std::string("option requires an argument -- '") + static_cast<char>(badOption) + "'";
  }
  if (longOption) {
    if (badOption != 0) return "option '" + name + "' doesn't allow an argument";
    return "unrecognized option '" + given + "'";
  }
  return std::string("invalid option -- '") + static_cast<char>(badOption) + "'";
}

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, char** argv) {
  static constexpr std::array<option, 7> kLongOptions = {
      {{"shift", required_argument, nullptr, 's'},
       {"encrypt", no_argument, nullptr, 'e'},
       {"decrypt", no_argument, nullptr, 'd'},
       {"guess", no_argument, nullptr, 'g'},
       {"help", no_argument, nullptr, 'h'},
       {"version", no_argument, nullptr, kVersionOption},
       {nullptr, 0, nullptr, 0}}};
  ParsedCommandLine parsed;
  Options& options = parsed.options;
  bool encrypt = false;
  bool decrypt = false;
  bool guess = false;
  bool shiftGiven = false;
  bool help = false;
  bool version = false;
  opterr = 0;
  optind = 1;
  int result = 0;
  while ((result = getopt_long(argc, argv, ":s:edgh", kLongOptions.data(), nullptr)) != -1) {
    switch (result) {
      case 's':
        parsed.error = ParseShift(optarg, options.shift);
        if (!parsed.error.empty()) return parsed;
        shiftGiven = true;
        break;
      case 'e':
        encrypt = true;
        break;
      case 'd':
        decrypt = true;
        break;
      case 'g':
        guess = true;
        break;
      case 'h':
        help = true;
        break;
      case kVersionOption:
        version = true;
        break;
      default:
        parsed.error = OptionError(result, optopt, argv[optind - 1]);
        return parsed;
    }
  }
  // Asking for help or the version is never a mistake, whatever else is given.
  if (help || version) {
    options.mode = help ? Options::Mode::kHelp : Options::Mode::kVersion;
    return parsed;
  }
  options.files.assign(argv + optind, argv + argc);
  if (encrypt && decrypt) {
    parsed.error = "options --encrypt and --decrypt cannot be used together";
  } else if (guess && (encrypt || shiftGiven)) {
    parsed.error =
        std::string("option --guess cannot be used with ") + (encrypt ? "--encrypt" : "--shift");
  } else if (guess) {
    options.mode = decrypt ? Options::Mode::kGuessDecrypt : Options::Mode::kGuess;
  } else if (encrypt || decrypt) {
    options.mode = encrypt ? Options::Mode::kEncrypt : Options::Mode::kDecrypt;
  } else if (!options.files.empty()) {
    parsed.error = "extra operand '" + options.files.front() + "'";
  }
  return parsed;
}

std::string HelpText() {
  return R"(Usage: simple_encryption [-s N]
  or:  simple_encryption -e|-d [-s N] [FILE]...
  or:  simple_encryption --guess [-d] [FILE]...
Show a Caesar shift cipher on the 52 ASCII letters, or apply one to files.

With no -e, -d or --guess, encrypt and decrypt a built-in sentence, then each line
typed, until a line is 'quit' or 'exit'.

  -s, --shift=N  move letters N places (any int, taken modulo 26; default 3)
  -e, --encrypt  write the FILEs with their letters moved forward
  -d, --decrypt  write the FILEs with their letters moved back
  -g, --guess    print the shift that most likely encrypted the English text in
                 the FILEs; with -d, decrypt them with it
  -h, --help     display this help and exit
      --version  output version information and exit

With no FILE, or when FILE is -, read standard input. Every byte other than
the ASCII letters passes through unchanged.

Exit status: 0 on success, 1 if input, output or memory failed or --guess found
no letters, 2 for a usage error.
)";
}
