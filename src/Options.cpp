#include "Options.h"

#include <getopt.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <string>
#include <system_error>
#include <vector>

#include "Diagnostics.h"
#include "Guess.h"
#include "LanguageModels.h"
#include "ShiftGuess.h"

namespace {

// Long options with no short form, numbered past every character.
enum LongOnly : int {
  kVersionOption = 256,
  kLettersOption,
  kLangOption,
  kCribOption,
  kWidthOption,
  kJsonOption,
  kLinesOption,
  kFindOption,
};

constexpr std::array<option, 17> kLongOptions = {
    {{"shift", required_argument, nullptr, 's'},
     {"alphabet", required_argument, nullptr, 'a'},
     {"letters", required_argument, nullptr, kLettersOption},
     {"encrypt", no_argument, nullptr, 'e'},
     {"decrypt", no_argument, nullptr, 'd'},
     {"guess", no_argument, nullptr, 'g'},
     {"list", no_argument, nullptr, 'l'},
     {"output", required_argument, nullptr, 'o'},
     {"help", no_argument, nullptr, 'h'},
     {"version", no_argument, nullptr, kVersionOption},
     {"lang", required_argument, nullptr, kLangOption},
     {"crib", required_argument, nullptr, kCribOption},
     {"width", required_argument, nullptr, kWidthOption},
     {"json", no_argument, nullptr, kJsonOption},
     {"lines", no_argument, nullptr, kLinesOption},
     {"find", no_argument, nullptr, kFindOption},
     {nullptr, 0, nullptr, 0}}};

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
    return "shift out of range: " + Quote(text);
  }
  if (error != std::errc() || end != last || signTwice) return "invalid shift: " + Quote(text);
  return "";
}

// Reads a comma-separated list of language codes into the rows of kLanguageModels they name,
// each language's rows in all its alphabets. Returns the problem, or an empty string.
std::string ParseLanguages(const std::string& text, std::vector<bool>& languages) {
  languages.assign(kLanguageModels.size(), false);
  std::string codes;
  for (const LanguageModel& model : kLanguageModels) {
    if (codes.find(std::string(model.code) + ", ") == std::string::npos) {
      codes += std::string(model.code) + ", ";
    }
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = std::min(text.find(',', start), text.size());
    const std::string code = text.substr(start, end - start);
    bool known = false;
    for (std::size_t row = 0; row < kLanguageModels.size(); ++row) {
      if (code == kLanguageModels[row].code) languages[row] = known = true;
    }
    if (!known) {
      codes.resize(codes.size() - 2);
      return "unknown language " + Quote(code) + "\nThe languages are " + codes + ".";
    }
    if (end == text.size()) return "";
    start = end + 1;
  }
}

// Reads --width's number of columns, 0 or more.
std::string ParseWidth(const std::string& text, std::size_t& width) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), width);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    return "invalid width: " + Quote(text);
  }
  return "";
}

// The problem with the option just read, in the core utilities' words, with an abbreviated long
// option named in full. getopt_long's own messages are off: they name the program as it was
// invoked, and differ from one C library to another, as do the results and optopt values this
// reads, hence the care. `word` is the command-line word that held the option.
std::string OptionError(int result, int badOption, const char* word) {
  const std::string given = word == nullptr ? "" : word;
  // optopt is 0 for a long option that none of ours begins with, and a short option's letter
  // otherwise, or the value of the long option at fault, which is only a letter of ours if the
  // long option was at fault.
  if (result == '?' && badOption == 0) return "unrecognized option " + Quote(given);
  const auto* const known =
      std::find_if(kLongOptions.begin(), kLongOptions.end() - 1,
                   [badOption](const option& candidate) { return candidate.val == badOption; });
  const bool longOption = result == '?' || given.rfind("--", 0) == 0;
  if (known != kLongOptions.end() - 1 && longOption) {
    return std::string("option '--") + known->name + "' " +
           (known->has_arg == no_argument ? "doesn't allow an argument" : "requires an argument");
  }
  const std::string letter = Quote(std::string(1, static_cast<char>(badOption)));
  if (result == ':') return "option requires an argument -- " + letter;
  return "invalid option -- " + letter;
}

// The option that `mode` was set by, for a message.
std::string ModeOption(bool encrypt, bool decrypt, bool shiftGiven) {
  if (encrypt) return "--encrypt";
  if (decrypt) return "--decrypt";
  return shiftGiven ? "--shift" : "";
}

}  // namespace

namespace {

// The options read so far, as they were given.
struct Given {
  bool encrypt = false;
  bool decrypt = false;
  bool guess = false;
  bool list = false;
  bool shift = false;
  bool output = false;
  bool preset = false;
  bool letters = false;
  bool steering = false;  // --lang or --crib
  bool width = false;
  bool json = false;
  bool lines = false;
  bool find = false;
};

// Takes in the option that getopt_long returned as `result`. Returns false where reading ends
// there: at a usage error, which `parsed.error` then holds, or at help or the version.
bool TakeOption(int result, const char* word, ParsedCommandLine& parsed, Given& given) {
  Options& options = parsed.options;
  switch (result) {
    case 's':
      parsed.error = ParseShift(optarg, options.shift);
      given.shift = true;
      break;
    case 'a':
      options.alphabet = FindPreset(optarg, parsed.error);
      given.preset = true;
      break;
    case kLettersOption:
      options.alphabet = LettersAlphabet(optarg, parsed.error);
      given.letters = true;
      break;
    case kLangOption:
      parsed.error = ParseLanguages(optarg, options.steering.languages);
      given.steering = true;
      break;
    case kCribOption:
      options.steering.cribs.emplace_back(optarg);
      if (options.steering.cribs.back().empty()) parsed.error = "invalid crib: ''";
      given.steering = true;
      break;
    case kWidthOption:
      parsed.error = ParseWidth(optarg, options.width);
      given.width = true;
      break;
    case kJsonOption:
      given.json = options.json = true;
      break;
    case kLinesOption:
      given.lines = options.lines = true;
      break;
    case kFindOption:
      given.find = true;
      break;
    case 'e':
      given.encrypt = true;
      break;
    case 'd':
      given.decrypt = true;
      break;
    case 'g':
      given.guess = true;
      break;
    case 'l':
      given.list = true;
      break;
    case 'o':
      options.output = optarg;
      // Caught here, before anything is read, rather than when the finished file cannot be put
      // in place.
      if (options.output.empty()) parsed.error = "invalid output file: ''";
      given.output = true;
      break;
    // Help and the version act where they are read, as in the core utilities: whatever follows
    // is not looked at, and whatever came before was valid.
    case 'h':
      options.mode = Options::Mode::kHelp;
      return false;
    case kVersionOption:
      options.mode = Options::Mode::kVersion;
      return false;
    default:
      parsed.error = OptionError(result, optopt, word);
      break;
  }
  return parsed.error.empty();
}

// The problem with modes that cannot go together, or an empty string.
std::string ModeConflict(const Given& given) {
  if (given.encrypt && given.decrypt) {
    return "options --encrypt and --decrypt cannot be used together";
  }
  if (given.preset && given.letters) {
    return "options --alphabet and --letters cannot be used together";
  }
  if (given.list && (given.encrypt || given.decrypt || given.shift || given.guess)) {
    return "option --list cannot be used with " +
           (given.guess ? std::string("--guess")
                        : ModeOption(given.encrypt, given.decrypt, given.shift));
  }
  if (given.find && (given.encrypt || given.shift || given.guess || given.list)) {
    return "option --find cannot be used with " +
           (given.guess  ? std::string("--guess")
            : given.list ? std::string("--list")
                         : ModeOption(given.encrypt, false, given.shift));
  }
  if (given.guess && (given.encrypt || given.shift)) {
    return "option --guess cannot be used with " + ModeOption(given.encrypt, false, given.shift);
  }
  return "";
}

// The problem with the options that steer a guess where they cannot, or an empty string.
std::string GuessConflict(const Given& given, const Options& options) {
  if (given.steering && !given.guess && !given.list && !given.find) {
    return "options --lang and --crib need --guess or --list";
  }
  if (given.find && !options.steering.cribs.empty()) return "option --crib needs --guess or --list";
  if (given.width && !given.list) return "option --width needs --list";
  if (given.lines && !given.guess && !given.list) return "option --lines needs --guess or --list";
  if (given.json && !(given.list || (given.guess && !given.decrypt))) {
    return "option --json needs --guess without --decrypt, or --list";
  }
  if (given.preset && !options.steering.languages.empty()) {
    const auto& languages = options.steering.languages;
    bool any = false;
    for (std::size_t row = 0; row < languages.size(); ++row) {
      any = any || (languages[row] && kLanguageModels[row].alphabet == options.alphabet->Row());
    }
    if (!any) {
      return "option --lang names no language in the alphabet " + Quote(options.alphabet->Name());
    }
  }
  return "";
}

// The problem with options that cannot go together, or go with nothing, or an empty string.
std::string Conflict(const Given& given, const Options& options) {
  std::string modes = ModeConflict(given);
  if (modes.empty()) modes = GuessConflict(given, options);
  if (!modes.empty()) return modes;
  if ((given.list || given.guess || given.find) && given.letters) {
    return std::string("option ") +
           (given.list    ? "--list"
            : given.guess ? "--guess"
                          : "--find") +
           " knows no language in the alphabet " + Quote(options.alphabet->Name());
  }
  const bool filter = given.list || given.guess || given.find || given.encrypt || given.decrypt;
  if (!filter && (given.output || options.alphabet)) {
    const char* const option = given.output    ? "--output"
                               : given.letters ? "--letters"
                                               : "--alphabet";
    return std::string("option ") + option + " needs --encrypt, --decrypt, --guess or --list";
  }
  if (!filter && !options.files.empty()) return "extra operand " + Quote(options.files.front());
  return "";
}

Options::Mode ModeOf(const Given& given) {
  if (given.list) return Options::Mode::kList;
  if (given.guess) return given.decrypt ? Options::Mode::kGuessDecrypt : Options::Mode::kGuess;
  if (given.find) return given.decrypt ? Options::Mode::kFindDecrypt : Options::Mode::kFind;
  if (given.encrypt) return Options::Mode::kEncrypt;
  return given.decrypt ? Options::Mode::kDecrypt : Options::Mode::kSession;
}

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, char** argv) {
  ParsedCommandLine parsed;
  Given given;
  opterr = 0;
  optind = 1;
  const auto next = [argc, argv] {
    return getopt_long(argc, argv, ":s:a:edglo:h", kLongOptions.data(), nullptr);
  };
  for (int result = next(); result != -1; result = next()) {
    if (!TakeOption(result, argv[optind - 1], parsed, given)) return parsed;
  }
  Options& options = parsed.options;
  options.files.assign(argv + optind, argv + argc);
  parsed.error = Conflict(given, options);
  if (parsed.error.empty()) options.mode = ModeOf(given);
  return parsed;
}

namespace {

// The column that the text of each option in --help starts in, and a long one goes on in.
constexpr std::size_t kOptionText = 25;

// `text` in lines of at most 78 columns, broken at spaces, those after the first indented by
// `indent` spaces.
std::string Wrapped(const std::string& text, std::size_t indent = 0) {
  constexpr std::size_t kWidth = 78;
  std::string wrapped;
  std::size_t lineStart = 0;
  std::size_t lastSpace = std::string::npos;
  std::size_t width = kWidth;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ' ') lastSpace = i;
    if (i - lineStart >= width && lastSpace != std::string::npos && lastSpace > lineStart) {
      wrapped += text.substr(lineStart, lastSpace - lineStart) + '\n' + std::string(indent, ' ');
      lineStart = lastSpace + 1;
      width = kWidth - indent;
    }
  }
  return wrapped + text.substr(lineStart) + '\n';
}

// The languages' codes, each once, as the tables have them: "en, de, ...".
std::string LanguageCodes() {
  std::string codes;
  for (const LanguageModel& model : kLanguageModels) {
    if ((", " + codes + ",").find(", " + std::string(model.code) + ",") == std::string::npos) {
      codes += (codes.empty() ? "" : ", ") + std::string(model.code);
    }
  }
  return codes;
}

// The presets, as the tables have them: "latin (the default), es (Spanish), ...".
std::string Presets() {
  std::string list;
  for (const AlphabetModel& model : kAlphabetModels) {
    list += std::string(list.empty() ? "" : ", ") + model.name + " (" +
            (list.empty() ? "the default" : model.about) + ")";
  }
  return list;
}

std::string Usage() {
  return R"(Usage: simple_encryption [-s N]
  or:  simple_encryption -e|-d [-s N] [-a NAME|--letters=L] [-o FILE] [FILE]...
  or:  simple_encryption --guess [-d] [-a NAME] [OPTION]... [-o FILE] [FILE]...
  or:  simple_encryption --list [-a NAME] [OPTION]... [-o FILE] [FILE]...
  or:  simple_encryption --find [-d] [-a NAME] [--lang=L] [-o FILE] [FILE]...
Show a Caesar shift cipher on the 52 ASCII letters, or apply one to files.

With no -e, -d, --guess, --list or --find, encrypt and decrypt a built-in
sentence, then each line typed, until a line is 'quit' or 'exit'.

  -s, --shift=N        move letters N places (an int, taken modulo the
                         alphabet's size; default 3)
)" +
         Wrapped(
             "  -a, --alphabet=NAME  move the letters of the alphabet NAME instead of the "
             "ASCII ones: " +
                 Presets(),
             kOptionText) +
         R"(      --letters=L      move the letters L, lower-case letters of your own in
                         order, and their capitals
  -e, --encrypt        write the FILEs with their letters moved forward
  -d, --decrypt        write the FILEs with their letters moved back
  -g, --guess          print the shift that most likely encrypted each FILE;
                         with -d, decrypt each with it
  -l, --list           print every shift of each FILE, most likely first,
                         with their probabilities and a preview
      --find           print where in each FILE words read as a language only
                         after a shift, with the shift; with -d, write each
                         FILE with those words decrypted
      --crib=WORD      with --guess or --list, only shifts whose decryption
                         holds WORD, as in --crib=attack; may be repeated
)" +
         Wrapped(
             "      --lang=CODES     with --guess, --list or --find, only these languages, such as "
             "--lang=de,fr: " +
                 LanguageCodes(),
             kOptionText) +
         R"(      --width=N        with --list, cut the preview to N columns (0: the
                         whole line; default 64)
      --json           with --guess or --list, one JSON object a FILE
      --lines          with --guess or --list, take each line as a text of its
                         own, with its own shift; a line with none is shown
                         as '-', or with -d written as it is
  -o, --output=FILE    write to FILE instead of standard output, replacing it
                         only once all went well; it may be an input too
  -h, --help           display this help and exit
      --version        output version information and exit

With no FILE, or when FILE is -, read standard input. Every byte other than
the alphabet's letters passes through unchanged; text in other alphabets is
read as UTF-8. A Caesar shift hides nothing; for secrecy, use gpg or age.

)";
}

std::string LanguagesParagraph() {
  return "The guess knows " + LanguageNames("and", {}) +
         ", and is refused when no shift makes the text read as one of them.";
}

}  // namespace

std::string HelpText() {
  return Usage() + Wrapped(LanguagesParagraph()) + R"(
Exit status: 0 on success, 1 if input, output or memory failed, or a guess
found no letters or was refused, 2 for a usage error.
)";
}

std::string VersionText() {
  return "simple_encryption " SIMPLE_ENCRYPTION_VERSION R"(
Copyright (C) 2026 The simple_encryption authors.
License MIT: <https://opensource.org/licenses/MIT>.
This is free software: you are free to change and redistribute it.
There is NO WARRANTY, to the extent permitted by law.
)";
}
