#include "ShiftGuess.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <numeric>
#include <utility>
#include <vector>

#include "LanguageModels.h"
#include "SimpleEncryption.h"

namespace {

// The constants below are fitted by tools/fit_guess.py, which prints them, with no arguments,
// as they stand here, from text set apart from what the tables were counted from. Those chosen
// by hand are marked so.

// The models take each letter's context as all that matters, which it is not, so their raw
// posteriors are over- or underconfident: scores are scaled by these factors, for text with word
// gaps and for text without, before they become probabilities, so that of the guesses given 80%,
// about 80 in 100 are right.
constexpr double kScaleWithGaps = 0.80;
constexpr double kScaleLettersOnly = 0.90;
// How likely a text is, before it is read, to be in no language: what keeps the probabilities of
// real text best calibrated while gibberish of 10 to 15 letters is still noted as uncertain.
constexpr double kNoLanguagePrior = 0.001;
// A text is refused when its best language costs more than no language does, by more than a
// margin, in thousandths of a nat: a few letters that happen to read badly must not condemn a
// real text. The margin is the same at every length, and text of fewer letters is never
// refused, only noted (both chosen by hand).
constexpr std::size_t kLettersToRefuse = 20;
constexpr std::int64_t kRefusalWithGaps = 5000;
constexpr std::int64_t kRefusalLettersOnly = 3000;

constexpr std::size_t kCandidates = kLanguages * 26;

int Decrypted(int symbol, int shift) { return symbol == kGap ? kGap : (symbol - shift + 26) % 26; }

// Whether the letters come without word gaps: in one run, or in runs of one length, as ciphers
// are often written (WKHTX LFNEU URZQI), all but the last.
bool LettersOnly(const std::vector<std::uint8_t>& symbols) {
  std::vector<std::size_t> runs;
  std::size_t run = 0;
  for (const std::uint8_t symbol : symbols) {
    if (symbol != kGap) {
      ++run;
    } else if (run > 0) {
      runs.push_back(std::exchange(run, 0));
    }
  }
  if (run > 0) runs.push_back(run);
  constexpr std::size_t kShortestGroup = 4;
  if (runs.size() <= 1) return true;
  const std::size_t group = runs.front();
  return group >= kShortestGroup && runs.back() <= group &&
         std::all_of(runs.begin(), runs.end() - 1, [group](std::size_t r) { return r == group; });
}

// The cost of the text in `model` decrypted by `shift`, word gaps where the text has them.
std::int64_t CostWithGaps(const LanguageModel& model, const std::vector<std::uint8_t>& symbols,
                          int shift) {
  std::int64_t cost = 0;
  int a = kGap;
  int b = kGap;
  for (const std::uint8_t symbol : symbols) {
    const int c = Decrypted(symbol, shift);
    cost += model.Cost(a, b, c);
    a = b;
    b = c;
  }
  return cost;
}

// The same for letters alone, with a word gap allowed before any letter: the cost of the best
// way to place the gaps. After each letter, `gapBefore` is the best cost so far with a gap
// before that letter, and `letterBefore` with the letter before it. The text starts as after a
// gap, so before the first letter both come to the same: a gap then costs nothing more, and
// the letter before is a gap too.
std::int64_t CostLettersOnly(const LanguageModel& model, const std::vector<std::uint8_t>& text,
                             int shift) {
  constexpr std::int64_t kNever = INT64_MAX / 4;
  std::int64_t gapBefore = 0;
  std::int64_t letterBefore = kNever;
  int b = kGap;  // the letter before
  int a = kGap;  // the letter before that, when there is no gap between
  for (const std::uint8_t symbol : text) {
    const int c = Decrypted(symbol, shift);
    const std::int64_t joined =
        std::min(gapBefore + model.Cost(kGap, b, c), letterBefore + model.Cost(a, b, c));
    const std::int64_t parted =
        std::min(gapBefore + model.Cost(kGap, b, kGap), letterBefore + model.Cost(a, b, kGap)) +
        model.Cost(b, kGap, c);
    letterBefore = joined;
    gapBefore = parted;
    a = b;
    b = c;
  }
  return std::min(gapBefore, letterBefore);
}

// The cost of the text as letters drawn at random, under the rotation of the alphabet that suits
// it best, so that no language is judged, as the languages are, on its best shift.
std::int64_t CostOfNoLanguage(const std::vector<std::uint8_t>& symbols, bool lettersOnly) {
  std::array<std::int64_t, kSymbols> counts{};
  for (const std::uint8_t symbol : symbols) ++counts[symbol];
  std::int64_t best = INT64_MAX;
  for (int rotation = 0; rotation < 26; ++rotation) {
    std::int64_t cost = lettersOnly ? 0 : counts[kGap] * kNoLanguageWithGaps[kGap];
    for (int letter = 0; letter < 26; ++letter) {
      const auto rotated = static_cast<std::size_t>((letter + rotation) % 26);
      cost += counts[static_cast<std::size_t>(letter)] *
              (lettersOnly ? kNoLanguageLettersOnly[rotated] : kNoLanguageWithGaps[rotated]);
    }
    best = std::min(best, cost);
  }
  return best;
}

}  // namespace

ShiftGuesser::ShiftGuesser(Bounds bounds) : limits(bounds) {}

std::size_t ShiftGuesser::Add(const char* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    if (Full()) return i;
    const unsigned char index = SimpleEncryption::LetterIndex(static_cast<unsigned char>(data[i]));
    const bool letter = index < 26;
    // A run of non-letters is one word gap, however long, and the text starts as after one.
    if (letter) {
      symbols.push_back(index);
      ++letters;
    } else if (!symbols.empty() && symbols.back() != kGap) {
      symbols.push_back(kGap);
    }
    if (letters > 0) ++span;
  }
  return size;
}

ShiftGuesser::Costs ShiftGuesser::Score() const {
  Costs scored{};
  scored.lettersOnly = LettersOnly(symbols);
  std::vector<std::uint8_t> text;
  if (scored.lettersOnly) {
    std::copy_if(symbols.begin(), symbols.end(), std::back_inserter(text),
                 [](std::uint8_t symbol) { return symbol != kGap; });
  }
  // Integer sums, so that every target ranks, and refuses, exactly alike.
  for (std::size_t language = 0; language < kLanguages; ++language) {
    for (int shift = 0; shift < 26; ++shift) {
      const LanguageModel& model = kLanguageModels[language];
      scored.languages[language * 26 + static_cast<std::size_t>(shift)] =
          scored.lettersOnly ? CostLettersOnly(model, text, shift)
                             : CostWithGaps(model, symbols, shift);
    }
  }
  scored.noLanguage = CostOfNoLanguage(symbols, scored.lettersOnly);
  return scored;
}

ShiftGuesser::Ranking ShiftGuesser::Rank() const {
  const Costs scored = Score();
  const bool lettersOnly = scored.lettersOnly;
  const auto& costs = scored.languages;
  const std::int64_t none = scored.noLanguage;
  const std::int64_t best = *std::min_element(costs.begin(), costs.end());

  Ranking ranking{};
  ranking.refused = letters >= kLettersToRefuse &&
                    best - none > (lettersOnly ? kRefusalLettersOnly : kRefusalWithGaps);

  // The posterior, relative to the least costly explanation, so that exp cannot overflow.
  const double scale = (lettersOnly ? kScaleLettersOnly : kScaleWithGaps) / 1000;
  const std::int64_t least = std::min(best, none);
  std::array<double, 26> byShift{};
  double total = kNoLanguagePrior * std::exp(-scale * static_cast<double>(none - least));
  ranking.noLanguage = total;
  for (std::size_t i = 0; i < kCandidates; ++i) {
    const double weight = (1 - kNoLanguagePrior) * kLanguageModels[i / 26].prior / 26 *
                          std::exp(-scale * static_cast<double>(costs[i] - least));
    byShift[i % 26] += weight;
    total += weight;
  }
  ranking.noLanguage /= total;
  std::iota(ranking.shifts.begin(), ranking.shifts.end(), 0);
  std::stable_sort(ranking.shifts.begin(), ranking.shifts.end(), [&byShift](int a, int b) {
    return byShift[static_cast<std::size_t>(a)] > byShift[static_cast<std::size_t>(b)];
  });
  for (std::size_t i = 0; i < 26; ++i) {
    ranking.probabilities[i] = byShift[static_cast<std::size_t>(ranking.shifts[i])] / total;
  }
  return ranking;
}
