#include "ShiftGuess.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "FittedConstants.h"
#include "LanguageModels.h"

namespace {

// The scales, the prior of no language and the refusal margins are fitted by tools/fit_guess.py,
// which writes them, from text set apart from what the tables were counted from:
//
// The models take each letter's context as all that matters, which it is not, so their raw
// posteriors are over- or underconfident: scores are scaled by kScaleWithGaps, for text with word
// gaps, and kScaleLettersOnly, for text without, before they become probabilities, so that of the
// guesses given 80%, about 80 in 100 are right. kNoLanguagePrior, how likely a text is before it
// is read to be in no language, keeps the probabilities of real text best calibrated while
// gibberish of 10 to 15 letters is still noted as uncertain. A text is refused when its best
// language costs more than no language does by more than kRefusalWithGaps or
// kRefusalLettersOnly, in thousandths of a nat: a few letters that happen to read badly must not
// condemn a real text. The margin is the same at every length, and text of fewer letters than
// this is never refused, only noted (both chosen by hand):
constexpr std::size_t kLettersToRefuse = 20;

int Decrypted(int symbol, int shift, int size) {
  return symbol == size ? size : (symbol - shift + size) % size;
}

// Whether the letters come without word gaps: in one run, or in runs of one length, as ciphers
// are often written (WKHTX LFNEU URZQI), all but the last.
bool LettersOnly(const std::vector<std::uint8_t>& symbols, int gap) {
  std::vector<std::size_t> runs;
  std::size_t run = 0;
  for (const std::uint8_t symbol : symbols) {
    if (symbol != gap) {
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
  const int gap = model.letters;
  std::int64_t cost = 0;
  int a = gap;
  int b = gap;
  for (const std::uint8_t symbol : symbols) {
    const int c = Decrypted(symbol, shift, gap);
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
  const int gap = model.letters;
  std::int64_t gapBefore = 0;
  std::int64_t letterBefore = kNever;
  int b = gap;  // the letter before
  int a = gap;  // the letter before that, when there is no gap between
  for (const std::uint8_t symbol : text) {
    const int c = Decrypted(symbol, shift, gap);
    const std::int64_t joined =
        std::min(gapBefore + model.Cost(gap, b, c), letterBefore + model.Cost(a, b, c));
    const std::int64_t parted =
        std::min(gapBefore + model.Cost(gap, b, gap), letterBefore + model.Cost(a, b, gap)) +
        model.Cost(b, gap, c);
    letterBefore = joined;
    gapBefore = parted;
    a = b;
    b = c;
  }
  return std::min(gapBefore, letterBefore);
}

// The cost of the text as letters drawn at random, under the rotation of the alphabet that suits
// it best, so that no language is judged, as the languages are, on its best shift.
std::int64_t CostOfNoLanguage(const AlphabetModel& alphabet,
                              const std::vector<std::uint8_t>& symbols, bool lettersOnly) {
  const auto size = static_cast<std::size_t>(alphabet.size);
  std::vector<std::int64_t> counts(size + 1);
  for (const std::uint8_t symbol : symbols) ++counts[symbol];
  std::int64_t best = INT64_MAX;
  for (std::size_t rotation = 0; rotation < size; ++rotation) {
    std::int64_t cost = lettersOnly ? 0 : counts[size] * alphabet.noLanguageWithGaps[size];
    for (std::size_t letter = 0; letter < size; ++letter) {
      const std::size_t rotated = (letter + rotation) % size;
      cost += counts[letter] * (lettersOnly ? alphabet.noLanguageLettersOnly[rotated]
                                            : alphabet.noLanguageWithGaps[rotated]);
    }
    best = std::min(best, cost);
  }
  return best;
}

}  // namespace

ShiftGuesser::ShiftGuesser(Bounds bounds, std::size_t inAlphabet)
    : limits(bounds),
      alphabet(inAlphabet),
      reading(PresetAlphabet(inAlphabet)),
      asciiOnly(reading.Ascii()) {
  for (std::size_t c = 0; c < ascii.size(); ++c) {
    ascii[c] = static_cast<std::int8_t>(reading.Index(static_cast<char32_t>(c)));
  }
}

void ShiftGuesser::Take(int place) {
  // A run of non-letters is one word gap, however long, and the text starts as after one.
  const auto gap = static_cast<std::uint8_t>(kAlphabetModels[alphabet].size);
  if (place >= 0) {
    symbols.push_back(static_cast<std::uint8_t>(place));
    ++letters;
  } else if (!symbols.empty() && symbols.back() != gap) {
    symbols.push_back(gap);
  }
}

std::size_t ShiftGuesser::Add(const char* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    if (Full()) return i;
    const auto byte = static_cast<unsigned char>(data[i]);
    // ASCII, most of what most texts hold, needs no decoding, and in an alphabet of ASCII letters
    // nothing else does either: every other byte only parts words.
    if (held.empty() && (byte < 0x80 || asciiOnly)) {
      Take(byte < 0x80 ? ascii[byte] : -1);
      if (letters > 0) ++span;
      continue;
    }
    held += static_cast<char>(byte);
    const bool before = letters > 0;
    const std::size_t last = TakeHeld();
    // From the first letter on, its first bytes included.
    if (letters > 0) span += before ? 1 : last;
  }
  return size;
}

std::size_t ShiftGuesser::TakeHeld() {
  // The characters that the bytes held so far make, and bytes that begin none, as gaps.
  std::size_t last = 0;
  while (!held.empty()) {
    char32_t c = 0;
    const int length =
        DecodeUtf8(reinterpret_cast<const unsigned char*>(held.data()), held.size(), c);
    if (length == kCutShort) break;
    last = length == 0 ? 1 : static_cast<std::size_t>(length);
    Take(length == 0 ? -1 : reading.Index(c));
    held.erase(0, last);
  }
  return last;
}

ShiftGuesser::Costs ShiftGuesser::Score() const {
  const AlphabetModel& model = kAlphabetModels[alphabet];
  const int size = model.size;
  Costs scored{};
  scored.lettersOnly = LettersOnly(symbols, size);
  std::vector<std::uint8_t> text;
  if (scored.lettersOnly) {
    std::copy_if(symbols.begin(), symbols.end(), std::back_inserter(text),
                 [size](std::uint8_t symbol) { return symbol != size; });
  }
  // Integer sums, so that every target ranks, and refuses, exactly alike.
  for (std::size_t language = 0; language < kLanguageModels.size(); ++language) {
    const LanguageModel& languageModel = kLanguageModels[language];
    if (languageModel.alphabet != alphabet) continue;
    scored.models.push_back(language);
    for (int shift = 0; shift < size; ++shift) {
      scored.languages.push_back(scored.lettersOnly ? CostLettersOnly(languageModel, text, shift)
                                                    : CostWithGaps(languageModel, symbols, shift));
    }
  }
  scored.noLanguage = CostOfNoLanguage(model, symbols, scored.lettersOnly);
  return scored;
}

ShiftGuesser::Ranking ShiftGuesser::Rank() const { return RankTogether({this}); }

namespace {

// Those of `readings` in the script that holds the most letters, the first of those with as
// many, the one with the most letters first, whose reading decides how the text is read.
std::vector<const ShiftGuesser*> InScriptOfMostLetters(
    const std::vector<const ShiftGuesser*>& readings) {
  const ShiftGuesser* most = readings.front();
  for (const ShiftGuesser* reading : readings) {
    if (reading->Letters() > most->Letters()) most = reading;
  }
  const std::string script = kAlphabetModels[most->Alphabet()].script;
  std::vector<const ShiftGuesser*> chosen;
  std::copy_if(readings.begin(), readings.end(), std::back_inserter(chosen),
               [&script](const ShiftGuesser* reading) {
                 return kAlphabetModels[reading->Alphabet()].script == script;
               });
  std::stable_sort(chosen.begin(), chosen.end(), [](const ShiftGuesser* a, const ShiftGuesser* b) {
    return a->Letters() > b->Letters();
  });
  return chosen;
}

}  // namespace

ShiftGuesser::Ranking RankTogether(const std::vector<const ShiftGuesser*>& readings) {
  const std::vector<const ShiftGuesser*> guessers = InScriptOfMostLetters(readings);
  std::vector<ShiftGuesser::Costs> scores(guessers.size());
  std::transform(guessers.begin(), guessers.end(), scores.begin(),
                 [](const ShiftGuesser* guesser) { return guesser->Score(); });
  const bool lettersOnly = scores.front().lettersOnly;
  const std::int64_t margin = lettersOnly ? kRefusalLettersOnly : kRefusalWithGaps;

  // Each language and shift is weighed by how much less it costs than no language does in the
  // same reading, so that readings of different letters compare.
  std::int64_t least = 0;
  bool refused = true;
  std::size_t letters = 0;
  for (std::size_t g = 0; g < scores.size(); ++g) {
    const ShiftGuesser::Costs& scored = scores[g];
    const std::int64_t best = *std::min_element(scored.languages.begin(), scored.languages.end());
    least = std::min(least, best - scored.noLanguage);
    refused = refused && best - scored.noLanguage > margin;
    letters = std::max(letters, guessers[g]->Letters());
  }

  ShiftGuesser::Ranking ranking{};
  ranking.alphabets.clear();
  for (const ShiftGuesser* guesser : guessers) ranking.alphabets.push_back(guesser->Alphabet());
  ranking.refused = letters >= kLettersToRefuse && refused;
  // The posterior, relative to the least costly explanation, so that exp cannot overflow.
  const double scale = (lettersOnly ? kScaleLettersOnly : kScaleWithGaps) / 1000;
  double total = kNoLanguagePrior * std::exp(-scale * static_cast<double>(-least));
  ranking.noLanguage = total;
  std::vector<std::vector<double>> byShift;
  for (std::size_t g = 0; g < scores.size(); ++g) {
    const ShiftGuesser::Costs& scored = scores[g];
    const auto size = static_cast<std::size_t>(kAlphabetModels[guessers[g]->Alphabet()].size);
    byShift.emplace_back(size);
    for (std::size_t i = 0; i < scored.languages.size(); ++i) {
      const double weight =
          (1 - kNoLanguagePrior) * kLanguageModels[scored.models[i / size]].prior /
          static_cast<double>(size) *
          std::exp(-scale * static_cast<double>(scored.languages[i] - scored.noLanguage - least));
      byShift.back()[i % size] += weight;
      total += weight;
    }
  }
  ranking.noLanguage /= total;
  // The alphabet with the most weight has its shifts ranked.
  std::size_t chosen = 0;
  double most = -1;
  for (std::size_t g = 0; g < byShift.size(); ++g) {
    const double weight = std::accumulate(byShift[g].begin(), byShift[g].end(), 0.0);
    if (weight > most) {
      most = weight;
      chosen = g;
    }
  }
  const std::vector<double>& weights = byShift[chosen];
  ranking.alphabet = guessers[chosen]->Alphabet();
  ranking.shifts.resize(weights.size());
  std::iota(ranking.shifts.begin(), ranking.shifts.end(), 0);
  std::stable_sort(ranking.shifts.begin(), ranking.shifts.end(), [&weights](int a, int b) {
    return weights[static_cast<std::size_t>(a)] > weights[static_cast<std::size_t>(b)];
  });
  for (const int shift : ranking.shifts) {
    ranking.probabilities.push_back(weights[static_cast<std::size_t>(shift)] / total);
  }
  return ranking;
}
