#ifndef SIMPLE_ENCRYPTION_LANGUAGE_MODELS_H
#define SIMPLE_ENCRYPTION_LANGUAGE_MODELS_H

#include <array>
#include <cstddef>
#include <cstdint>

// How likely each letter is after the two symbols before it in each language the guess knows, and
// in text of no language at all, as tools/language_tables.py counts them; it writes the list of
// languages too, which is kept nowhere else. Symbols are 0..25 for the letters 'a'..'z' with case
// folded, and 26 for a word gap: any run of other bytes. Costs are -ln P in thousandths
// (milli-nats), so that scores are sums of integers and come out the same on every target.

inline constexpr int kSymbols = 27;
inline constexpr int kGap = 26;
inline constexpr std::size_t kLanguages = 7;

struct LanguageModel {
  const char* code;  // ISO 639-1
  const char* name;
  // How likely a text is to be in this language before it is read; the languages' sum to 1.
  double prior;
  // The sixteen costs a trigram can have.
  std::array<std::int32_t, 16> levels;
  // For each trigram (a, b, c), at index (a * 27 + b) * 27 + c, the number of its level, four
  // bits, two to a byte, the lower bits first.
  std::array<std::uint8_t, (kSymbols * kSymbols * kSymbols + 1) / 2> codes;

  // Returns the cost of `c` after `a` and `b`.
  [[nodiscard]] constexpr std::int32_t Cost(int a, int b, int c) const {
    const int index = (a * kSymbols + b) * kSymbols + c;
    const int level = (codes[static_cast<std::size_t>(index / 2)] >> (index % 2 * 4)) & 0xF;
    return levels[static_cast<std::size_t>(level)];
  }
};

extern const std::array<LanguageModel, kLanguages> kLanguageModels;

// The cost of each symbol, word gap last, when letters come at random with the languages' mean
// frequencies.
extern const std::array<int, kSymbols> kNoLanguageWithGaps;
// The same for text without word gaps.
extern const std::array<int, 26> kNoLanguageLettersOnly;

#endif  // SIMPLE_ENCRYPTION_LANGUAGE_MODELS_H
