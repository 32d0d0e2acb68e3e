#ifndef SIMPLE_ENCRYPTION_FIND_H
#define SIMPLE_ENCRYPTION_FIND_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "Alphabet.h"
#include "Guess.h"

// --find and -d --find: the runs of words in a text (a word, a phrase, a sentence) that read as
// one of the guess's languages only after a shift, among text that is left as it is: prose,
// code, names, hashes. The text is a hidden Markov model over its words, whose states are each
// language as written and each pair of a language and a shift other than 0; a word costs in each
// state what its letters cost in that language so decrypted, and as written no more than letters
// at random. Entering a run costs what a run is unlikely to start there, so that a word must read
// much better shifted than as written before it is changed. Viterbi's algorithm finds the
// likeliest states, a piece of the text at a time.

// A run found, in bytes of the piece it was found in.
struct FoundRun {
  std::size_t begin;
  std::size_t end;
  int shift;
  std::size_t alphabet;  // in kAlphabetModels
  std::size_t language;  // in kLanguageModels
  double probability;    // that it is so encrypted rather than as written
};

class RunFinder {
 public:
  // Looks for runs in `alphabets`, rows of kAlphabetModels, and those of their languages that
  // `languages` allows (empty: all).
  RunFinder(const std::vector<std::size_t>& alphabets, const std::vector<bool>& allowedLanguages);

  // Returns the runs of `text`, in order, each at least kSureProbability likely; the text is taken
  // to begin and end as written.
  std::vector<FoundRun> Find(const std::string& text);

 private:
  struct Word {
    std::size_t begin;
    std::size_t end;
    unsigned mask;  // the readings, by bit, that hold all its letters, or 0: as written
    bool lettered;  // whether it holds a letter of a reading
    bool glued;     // whether it touches a digit or a sign of code
  };
  struct State {
    std::size_t reading;  // in `readings`
    std::size_t language;
    int shift;
    double enter;  // the cost of a run's starting in it
  };
  // The readings, by bit, that `c` is a letter of.
  [[nodiscard]] unsigned ReadingsOf(char32_t c) const;
  [[nodiscard]] std::vector<Word> Words(const std::string& text) const;
  // The places in `reading` of the letters of `word` that it has.
  [[nodiscard]] std::vector<std::uint8_t> Symbols(const std::string& word,
                                                  std::size_t reading) const;
  // The cost of `word` in each state, the states as written first; cached by its bytes.
  const std::vector<double>& Costs(const std::string& text, const Word& word);
  // The likeliest state of each word, by Viterbi's algorithm, as an index of `states`.
  std::vector<std::size_t> Path(const std::string& text, const std::vector<Word>& words);
  // Moves `best`, the least cost of a path to each state, on by a word of `costs`, noting in
  // `came` where each state's path came from and in `before` the best states before it.
  struct Before {
    std::size_t written;  // the best state as written
    std::size_t run;      // and in a run
  };
  void Step(const std::vector<double>& costs, bool glued, std::vector<double>& best, Before& before,
            std::uint8_t* came) const;

  std::vector<Alphabet> readings;
  std::vector<std::size_t> rows;  // each reading's row in kAlphabetModels
  // "As written" in each language, and then each language with each shift but 0.
  std::vector<State> states;
  std::size_t written = 0;                 // how many are as written
  std::array<unsigned, 0x80> asciiMask{};  // the readings of each ASCII character
  std::unordered_map<std::string, std::vector<double>> cache;
};

// Reads `message` a piece at a time, a piece ending at a line end where one is near, and with
// `decrypting` writes it with each run decrypted, or else writes a line for each run: where it
// starts (line:column, in bytes, from 1), its shift, alphabet, language and probability, and the
// run decrypted, as a preview shows it. Returns kWriteFailed as soon as a write failed.
Outcome FindInMessage(bool decrypting, const Message& message, const Writer& write);

#endif  // SIMPLE_ENCRYPTION_FIND_H
