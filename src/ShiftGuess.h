#ifndef SIMPLE_ENCRYPTION_SHIFT_GUESS_H
#define SIMPLE_ENCRYPTION_SHIFT_GUESS_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "Alphabet.h"
#include "LanguageModels.h"

// How much of a text a guess takes. A few thousand letters settle any text, and a text that
// spreads them thinner than a mebibyte from its first letter is hardly language; the bounds keep
// the cost of a guess, and what a caller must hold to decrypt with it, the same however long the
// input is. The fuzz target makes them small, so that short inputs reach them.
struct GuessBounds {
  std::size_t letters = 4096;
  std::size_t span = std::size_t{1} << 20;  // bytes from the first letter on
};

// What a user knows of a text, which narrows what a guess ranks.
struct Steering {
  // By row of kLanguageModels, the languages the text may be in; empty for all of them.
  std::vector<bool> languages;
  // Words that the decryption holds, letters compared without their case.
  std::vector<std::string> cribs;
};

// A language that a guess scores, with the costs of its trigrams that hold a word gap taken out of
// their four bits once: most of what a short text looks up is among them.
struct ScoredLanguage {
  explicit ScoredLanguage(std::size_t inRow);
  // The costs of (gap, b, c), (a, gap, c) and (a, b, gap), by the other two symbols.
  [[nodiscard]] std::int32_t AfterGap(int b, int c) const { return afterGap[At(b, c)]; }
  [[nodiscard]] std::int32_t AcrossGap(int a, int c) const { return acrossGap[At(a, c)]; }
  [[nodiscard]] std::int32_t BeforeGap(int a, int b) const { return beforeGap[At(a, b)]; }
  // The cost of the trigram that joins a word to the word before under each shift s, at
  // s - first for a word whose first letter is `first`, after a word that ends `difference`
  // letters after it, or the alphabet's size after a gap.
  [[nodiscard]] const std::int32_t* Joins(int difference) const {
    return joins.data() + static_cast<std::ptrdiff_t>(difference) * model->letters;
  }
  [[nodiscard]] std::size_t At(int x, int y) const {
    return static_cast<std::size_t>(x) * static_cast<std::size_t>(model->letters + 1) +
           static_cast<std::size_t>(y);
  }

  std::size_t row;  // in kLanguageModels
  const LanguageModel* model;
  std::vector<std::int32_t> afterGap;
  std::vector<std::int32_t> acrossGap;
  std::vector<std::int32_t> beforeGap;
  std::vector<std::int32_t> joins;
};

// Guesses which shift of an alphabet encrypted a text, and in which of that alphabet's languages
// of LanguageModels.h it is written. Every pair of a language and a shift is scored by how
// likely its letter trigrams, word starts and ends included, make the decrypted text; so is the
// thought that the text is in no language at all, its letters drawn at random. Letters are
// counted with case folded; other characters, and bytes that are not UTF-8, only separate words.
// Text whose letters come without word gaps, or in groups of one length, is scored as if a word gap
// might hide between any two letters, so that the guess does not lean on gaps the text does not
// have.
//
//   ShiftGuesser guesser;
//   guesser.Add(text.data(), text.size());
//   if (guesser.Letters() > 0) shift = guesser.Rank().shifts[0];
class ShiftGuesser {
 public:
  using Bounds = GuessBounds;

  // Guesses in kAlphabetModels[inAlphabet], the ASCII letters by default.
  explicit ShiftGuesser(Bounds bounds = {}, std::size_t inAlphabet = kDefaultAlphabet);

  // Takes in `size` bytes of ciphertext, or as many as it takes before it becomes Full().
  void Add(const char* data, std::size_t size);
  // The same for characters, decoded once for every reading of a text. From the first letter
  // on, a character that would end past the bound of bytes is not taken.
  void Add(const std::vector<Character>& characters);

  // Forgets what it has taken in, to guess another text.
  void Clear();

  // Returns the number of letters taken in.
  [[nodiscard]] std::size_t Letters() const { return letters; }
  // Returns whether it has taken in as many letters, or bytes from the first letter, as it takes.
  [[nodiscard]] bool Full() const { return letters == limits.letters || span == limits.span; }

  // Returns its alphabet, in kAlphabetModels.
  [[nodiscard]] std::size_t Alphabet() const { return alphabet; }
  // And its letters.
  [[nodiscard]] const ::Alphabet& Reading() const { return reading; }

  struct Ranking {
    std::size_t alphabet = kDefaultAlphabet;  // whose shifts these are, in kAlphabetModels
    std::vector<int> shifts;  // most likely first; equal probabilities in shift order
    // Of each of `shifts`, summed over the languages; with `noLanguage`, and the probabilities of
    // the other alphabets ranked with this one, they sum to 1.
    std::vector<double> probabilities;
    double noLanguage;  // the probability that the text is in none of the languages
    bool refused;       // true when no language explains the text better than none does
    std::vector<std::size_t> languages;  // those ranked, in kLanguageModels
    std::size_t language = 0;            // the most likely of them under the first shift
    bool cribless = false;  // true, and refused, when no shift's decryption holds the cribs
  };
  // Ranks the shifts on what has been taken in. Needs a letter.
  [[nodiscard]] Ranking Rank() const;

  // Returns how many of the letters taken in are letters of one of `others` (this one may be
  // among them) that this alphabet lacks, and so took as word gaps: letters of other alphabets
  // of its script. An alphabet of ASCII letters counts none.
  [[nodiscard]] std::size_t LettersLacked(const std::vector<const ShiftGuesser*>& others) const;

  // Returns whether what has been taken in, decrypted by `shift`, holds `word` in its letters
  // and word gaps, the letters compared without their case.
  [[nodiscard]] bool Holds(const std::string& word, int shift) const;

  // What Rank weighs, in thousandths of a nat: the cost of the text in each language of the
  // alphabet decrypted by each shift, at language * size + shift, in the order of
  // kLanguageModels, and in no language; and whether it was read as letters without word gaps.
  // Needs a letter. The constants are fitted on these (tools/fit_guess.py, through
  // tools/guess_costs.cpp).
  struct Costs {
    std::vector<std::size_t> models;  // the alphabet's languages, in kLanguageModels
    std::vector<std::int64_t> languages;
    std::int64_t noLanguage;
    bool lettersOnly;
  };
  // With `lackedLetters`, the count of letters it lacks and another alphabet ranked with it has.
  [[nodiscard]] Costs Score(std::size_t lackedLetters = 0) const;

 private:
  // The words kept, and the longest one kept, in symbols.
  static constexpr std::size_t kMostCachedWords = 4096;
  static constexpr std::size_t kLongestCachedWord = 32;

  // Sets `costs`, at language * size + shift, to the cost of the text with its word gaps in each
  // of its languages decrypted by each shift.
  void CostWithGaps(std::vector<std::int64_t>& costs) const;
  // The costs of a word, moved back by its first letter, in each language and shift, less the
  // trigram that joins it to the word before: kept, or else worked out in `scratch`.
  const std::vector<std::int64_t>& WordCosts(const std::string& word, bool closed,
                                             std::vector<std::int64_t>& scratch) const;
  void Take(int place);

  Bounds limits;
  std::size_t alphabet;
  ::Alphabet reading;  // the alphabet's letters, to place them
  bool asciiOnly;      // whether its letters are all ASCII
  // The place of each character below U+0800, or -1: most letters of most scripts, looked up
  // without a search, which took a sixth of a Cyrillic line's guess.
  std::array<std::int8_t, 0x800> low{};
  // The letters of the other preset alphabets of its script that it lacks, in order, and how
  // many times each was taken in.
  std::vector<char32_t> lacked;
  std::vector<std::size_t> lackedTaken;
  // The text as symbols: each letter's place, and the alphabet's size for each run of others.
  std::vector<std::uint8_t> symbols;
  std::size_t letters = 0;
  std::size_t span = 0;
  // What Add decodes bytes with, and into.
  Utf8Decoder decoder;
  std::vector<Character> decoded;
  // What Score keeps for the next time, which changes none of its answers, and so is kept
  // across Clear: the alphabet's languages, in the order of kLanguageModels, and of each word,
  // moved back by its first letter, its cost in each language and shift.
  mutable std::vector<ScoredLanguage> languages;
  mutable std::unordered_map<std::string, std::vector<std::int64_t>> wordCosts;
};

// Ranks the shifts of one text that each of `readings` has read in its own alphabet: those of
// the script that holds most of the text's letters (the first reading's where two hold as many)
// are ranked together, and the shifts of the alphabet that explains the text best are given,
// with the probabilities of each (alphabet, shift) summed over the languages, each language
// weighed against no language in its own reading. Refuses only where every reading of that
// script would be refused. Needs a reading with a letter.
// Only the languages and the shifts that `steering` allows are ranked, and the probabilities are
// taken among them.
ShiftGuesser::Ranking RankTogether(const std::vector<const ShiftGuesser*>& readings,
                                   const Steering& steering = {});

#endif  // SIMPLE_ENCRYPTION_SHIFT_GUESS_H
