#ifndef SIMPLE_ENCRYPTION_GUESS_H
#define SIMPLE_ENCRYPTION_GUESS_H

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "Alphabet.h"
#include "Filter.h"
#include "ShiftGuess.h"

// --guess, --guess -d and --list on one message at a time: read its start, rank the shifts,
// judge the ranking, and write the shift, the decryption or the listing. The guess holds the
// message's start, bounded, while it reads; the filters below stream the rest.

// The start of a message, which its shift is guessed from.
struct Sample {
  // The first line of the message that holds a letter of `letters`, without the CR of a CR LF
  // line end: its first kBytes bytes, or where its first letter lies further on than a preview
  // shows, "..." and the line from that letter on.
  class FirstLine {
   public:
    static constexpr std::size_t kBytes = std::size_t{64} * 1024;
    explicit FirstLine(Alphabet letters);
    void Add(const char* data, std::size_t size);
    void Clear();
    // The line for a preview of `width` columns, 0 for the whole line: from its first letter,
    // after "...", where that letter lies further on than the preview would show.
    [[nodiscard]] std::string Text(std::size_t width) const;

   private:
    // Takes note of a character of the line, of these bytes, that is a letter or not, and whose
    // last byte was kept or not.
    void Found(bool letter, bool kept, const std::string& bytes);

    Alphabet alphabet;
    std::array<bool, 0x80> asciiLetter{};  // which ASCII characters are its letters
    std::string line;
    std::string character;        // the bytes of a character that the next ones complete
    bool lettered = false;        // whether the line holds a letter
    std::size_t firstLetter = 0;  // and where in `line` the first one begins
    bool done = false;
  };

  // Most bytes read for a guess while no letter has come, unless they are passed on.
  static constexpr std::size_t kMostBeforeALetter = std::size_t{1} << 20;

  // A sample read in each of `alphabets`, in kAlphabetModels: the ASCII letters by default. With
  // `listing`, it keeps each reading's first line, which only a listing shows, and which costs
  // a short line's guess a twentieth of its time.
  explicit Sample(ShiftGuesser::Bounds bounds = {},
                  const std::vector<std::size_t>& alphabets = {kDefaultAlphabet},
                  bool listing = true);

  // Takes in what ReadSample read.
  void Add(const char* data, std::size_t size);
  // Forgets what it took in, to read the start of another message in the same alphabets.
  void Clear();
  // Returns the number of letters read, in whichever alphabet has the most.
  [[nodiscard]] std::size_t Letters() const;
  // Returns whether a guesser has read all it takes.
  [[nodiscard]] bool Full() const;
  // Ranks the shifts of the alphabets of the script that holds most of the letters.
  [[nodiscard]] ShiftGuesser::Ranking Rank(const Steering& steering = {}) const;
  std::vector<ShiftGuesser> guessers;
  std::vector<FirstLine> firstLines;  // one for each guesser, when listing
  // The text decoded once, for every guesser to read in its own alphabet.
  Utf8Decoder decoder;
  std::vector<Character> characters;
  // Of a sample read with bytes passed on, what was read from the first block holding a letter.
  std::string held;
  bool ended = false;  // whether the message ended within it
};

// The alphabets a guess reads a text in without -a: the ASCII letters, and each alphabet of
// another script.
std::vector<std::size_t> GuessedAlphabets();

// Reads the start of a message into `sample`, until the guesser is full or the input ends, in
// reads of `blockSize` bytes. With `passOn`, gives it the blocks before the first letter, which
// read the same under every shift, and keeps the rest in `sample.held`. Without, keeps nothing,
// and stops after Sample::kMostBeforeALetter bytes without a letter. Returns false if `passOn`
// failed.
bool ReadSample(const Reader& read, Sample& sample, const Writer* passOn = nullptr,
                std::size_t blockSize = kBlockSize);

// Writes the held part of `sample` and then the rest of the message decrypted with `shift` of
// `alphabet`, in kAlphabetModels. Returns false if a write failed.
bool DecryptRest(int shift, std::size_t alphabet, const Sample& sample, const Reader& read,
                 const Writer& write, std::size_t blockSize = kBlockSize);

// Returns the names of the languages in the rows `languages` of kLanguageModels, or of all of
// them, each once, as the tables have them, so that a language added there is named wherever
// this is used: "A, B, C `lastJoin` D".
std::string LanguageNames(const std::string& lastJoin, const std::vector<std::size_t>& languages);

// What the guess is judged to be worth: refused, or used with a note when it is not sure enough.
struct Judgement {
  bool refused = false;
  std::string message;  // the refusal or the note, or empty
};

// Judges `ranking`: a guess less than 99% likely is noted with the two most likely shifts, and
// the probability of no language where that is higher. A ranking that no shift's decryption of
// which holds `cribs` is refused with them named.
Judgement Judge(const ShiftGuesser::Ranking& ranking, const std::vector<std::string>& cribs = {});

// Below this, a guess is noted as uncertain, and a run is not taken for one (chosen by hand).
inline constexpr double kSureProbability = 0.99;

// Returns `line` as a preview shows it, in at most `width` columns, or all of it for 0: control
// and format characters, and bytes that are not UTF-8, written so that none can act on the
// terminal.
std::string Preview(const std::string& line, std::size_t width);

// Returns `probability` as a percentage with one decimal, rounded down, so that what is shown is
// never more sure than what was found: 0.98996 is 98.9%, and 1 is 99.9%.
std::string Percent(double probability);

// Returns the lines of --list for `ranking`: each shift, its probability and `line` decrypted
// with it, in `width` columns or all of it for 0, most likely first.
std::string Listing(const ShiftGuesser::Ranking& ranking, const std::string& line,
                    std::size_t width = 64);

enum class GuessOutput { kShift, kDecryption, kListing };
enum class Outcome { kDone, kFailed, kWriteFailed };

// One message and how it stands among the others.
struct Message {
  Reader read;
  std::function<bool()> readFailed;  // whether a read failed, and was reported
  std::string name;                  // quoted, for messages and output lines
  bool several = false;              // whether messages and output lines name it
  bool first = true;                 // whether it is the first one listed
  std::vector<std::size_t> alphabets = {kDefaultAlphabet};  // to guess in, in kAlphabetModels
  bool alphabetGiven = false;  // whether -a named it, so that the output need not
  std::string file;            // the name as it was given, for --json
  Steering steering;           // --lang and --crib
  std::size_t width = 64;      // --width
  bool json = false;           // --json: a row of JSON for the message, whatever became of it
  // With --lines, the message is this line of the file, from 1: one that is refused or has no
  // letters is answered as having no shift, and decrypts as it is, rather than failing.
  std::size_t line = 0;
  std::size_t blockSize = kBlockSize;  // the most asked of one read
};

// Guesses the shift of `message` and writes what `output` asks for with `write`. Reports a
// refusal, a note, or a message without letters; a message without letters is written as it is
// when decrypting. With `message.json`, writes a row for it whatever became of it, a message
// that could not be read included. Returns kWriteFailed as soon as a write failed.
Outcome GuessMessage(GuessOutput output, const Message& message, const Writer& write);

// The same for each line of `message` as a message of its own, in order, each guessed from its
// start: a line that holds more than a guess takes is read on without being held.
Outcome GuessLines(GuessOutput output, const Message& message, const Writer& write);

#endif  // SIMPLE_ENCRYPTION_GUESS_H
