#ifndef SIMPLE_ENCRYPTION_LANGUAGE_MODELS_H
#define SIMPLE_ENCRYPTION_LANGUAGE_MODELS_H

#include <array>
#include <cstddef>
#include <cstdint>

// How likely each letter is after the two symbols before it in each language the guess knows, and
// in text of no language at all, as tools/language_tables.py counts them; it writes the lists of
// alphabets and languages too, from data/registry.toml, and nothing here knows how many there are.
// A language's symbols are the places of its alphabet's letters, case folded, and the alphabet's
// size for a word gap: any run of other characters. Costs are -ln P in thousandths (milli-nats), so
// that scores are sums of integers and come out the same on every target.

// A table that the generator writes, of a size that only it knows.
template <typename T>
struct Table {
  const T* first;
  std::size_t count;
  [[nodiscard]] const T* begin() const { return first; }
  [[nodiscard]] const T* end() const { return first + count; }
  [[nodiscard]] std::size_t size() const { return count; }
  const T& operator[](std::size_t i) const { return first[i]; }
};

// An alphabet that -a names, and what its letters cost in text of no language.
struct AlphabetModel {
  const char* name;
  const char* script;       // that its letters are in
  const char* about;        // what it is, for --help
  const char32_t* letters;  // lower case, in order
  int size;
  // The cost of each symbol, word gap last, when letters come at random with the mean frequencies
  // of the alphabet's languages; and of each letter in text without word gaps.
  const std::int32_t* noLanguageWithGaps;
  const std::int32_t* noLanguageLettersOnly;
};

struct LanguageModel {
  const char* code;  // ISO 639-1
  const char* name;
  // How likely a text is to be in this language before it is read, among the languages of its
  // alphabet's script; their sum is 1.
  double prior;
  std::size_t alphabet;  // in kAlphabetModels
  int letters;           // the alphabet's size, and so the word gap's symbol
  // The sixteen costs a trigram can have.
  std::array<std::int32_t, 16> levels;
  // For each trigram (a, b, c), at index (a * symbols + b) * symbols + c, the number of its level,
  // four bits, two to a byte, the lower bits first.
  const std::uint8_t* codes;

  // Returns the cost of `c` after `a` and `b`.
  [[nodiscard]] std::int32_t Cost(int a, int b, int c) const {
    const auto symbols = static_cast<std::size_t>(letters) + 1;
    const std::size_t index =
        (static_cast<std::size_t>(a) * symbols + static_cast<std::size_t>(b)) * symbols +
        static_cast<std::size_t>(c);
    const int level = (codes[index / 2] >> (index % 2 * 4)) & 0xF;
    return levels[static_cast<std::size_t>(level)];
  }
};

extern const Table<AlphabetModel> kAlphabetModels;
// The row of the alphabet used when none is given, the first.
inline constexpr std::size_t kDefaultAlphabet = 0;
extern const Table<LanguageModel> kLanguageModels;

#endif  // SIMPLE_ENCRYPTION_LANGUAGE_MODELS_H
