#include "ShiftGuess.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numeric>

#include "EnglishLetterPairs.h"
#include "SimpleEncryption.h"

namespace {

// The pair model takes neighbouring pairs as independent, which they are not, so its raw
// posterior is overconfident: scaling the scores by this factor before turning them into
// probabilities makes the stated probabilities match how often the guesses are right, on English
// samples of 5 to 20 letters that the weights were not counted from (bench/guess_accuracy.sh).
constexpr double kScoreScale = 0.65;

// English decrypted with its right shift scores about -2.5 nats a pair, text in other Western
// European languages -2.6 to -3.0, and text that no shift turns into a language, such as random
// letters, English with its letters shuffled, a Vigenere ciphertext or base64, -3.9 to -5.0. The
// line between, in thousandths of a nat a pair, leaves about as few German texts of 100 letters
// below it as shuffled English above it, and is drawn only from enough letters for the mean to
// have settled: a few words of English can score worse by chance.
constexpr long long kEnglishAtLeast = -3450;
constexpr std::size_t kLettersToRefuse = 30;

// The symbol of a byte: 0..25 for a letter of either case, 26 for anything else.
int Symbol(unsigned char byte) {
  const unsigned char index = SimpleEncryption::LetterIndex(byte);
  return index < 26 ? index : 26;
}

// A ciphertext symbol decrypted by `shift`; a non-letter stays what it is.
std::size_t Decrypted(int symbol, int shift) {
  return static_cast<std::size_t>(symbol == 26 ? 26 : (symbol - shift + 26) % 26);
}

}  // namespace

std::size_t ShiftGuesser::Add(const char* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    if (Full()) return i;
    const int symbol = Symbol(static_cast<unsigned char>(data[i]));
    // A run of non-letters is one word gap, however long.
    if (symbol != kOther || previous != kOther) {
      ++pairs[static_cast<std::size_t>(previous)][static_cast<std::size_t>(symbol)];
      ++pairCount;
    }
    previous = symbol;
    if (symbol != kOther) ++letters;
    if (letters > 0) ++span;
  }
  return size;
}

ShiftGuesser::Ranking ShiftGuesser::Rank() const {
  // Integer sums, so that every target ranks, and refuses, exactly alike.
  std::array<long long, 26> scores{};
  for (int shift = 0; shift < 26; ++shift) {
    for (int earlier = 0; earlier < 27; ++earlier) {
      for (int later = 0; later < 27; ++later) {
        const std::uint32_t count =
            pairs[static_cast<std::size_t>(earlier)][static_cast<std::size_t>(later)];
        if (count == 0) continue;
        scores[static_cast<std::size_t>(shift)] +=
            count * static_cast<long long>(
                        kEnglishPairWeights[Decrypted(earlier, shift)][Decrypted(later, shift)]);
      }
    }
  }
  Ranking ranking{};
  std::iota(ranking.shifts.begin(), ranking.shifts.end(), 0);
  const auto score = [&scores](int shift) { return scores[static_cast<std::size_t>(shift)]; };
  std::stable_sort(ranking.shifts.begin(), ranking.shifts.end(),
                   [&score](int a, int b) { return score(a) > score(b); });
  const long long best = score(ranking.shifts[0]);
  ranking.readsAsEnglish =
      letters < kLettersToRefuse || best >= kEnglishAtLeast * static_cast<long long>(pairCount);

  // The posterior under a uniform prior over the shifts. Relative to the best, so that exp cannot
  // overflow and the best term is exactly 1.
  double total = 0;
  for (std::size_t i = 0; i < 26; ++i) {
    const auto below = static_cast<double>(score(ranking.shifts[i]) - best);
    ranking.probabilities[i] = std::exp(kScoreScale * below / 1000);
    total += ranking.probabilities[i];
  }
  std::transform(ranking.probabilities.begin(), ranking.probabilities.end(),
                 ranking.probabilities.begin(), [total](double weight) { return weight / total; });
  return ranking;
}
