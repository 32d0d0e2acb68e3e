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
#include "Unicode.h"

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

// The symbol that `symbol` decrypts to by `shift`, 0 to `size` - 1; a word gap stays one. Without
// a division, which would cost more than the lookup of its trigram.
int Decrypted(int symbol, int shift, int size) {
  if (symbol == size) return size;
  const int back = symbol - shift;
  return back < 0 ? back + size : back;
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

// Adds to `costs`, at language * size + shift, what the letters from `first` to `last` cost in
// each of `languages` decrypted by each shift, after a gap and their first letter: every trigram
// of a word but the one that joins it to the word before. And then the gap after it, where
// `closed`.
void AddWord(const std::uint8_t* first, const std::uint8_t* last, bool closed,
             const std::vector<ScoredLanguage>& languages, int size, std::int64_t* costs) {
  for (const ScoredLanguage& language : languages) {
    for (int shift = 0; shift < size; ++shift) {
      int a = size;
      int b = Decrypted(*first, shift, size);
      std::int64_t cost = 0;
      const std::uint8_t* symbol = first + 1;
      if (symbol != last) {
        const int c = Decrypted(*symbol++, shift, size);
        cost += language.AfterGap(b, c);
        a = b;
        b = c;
      }
      for (; symbol != last; ++symbol) {
        const int c = Decrypted(*symbol, shift, size);
        cost += language.model->Cost(a, b, c);
        a = b;
        b = c;
      }
      *costs++ += cost + (closed ? language.BeforeGap(a, b) : 0);
    }
  }
}

}  // namespace

ScoredLanguage::ScoredLanguage(std::size_t inRow) : row(inRow), model(&kLanguageModels[inRow]) {
  const int gap = model->letters;
  for (int x = 0; x <= gap; ++x) {
    for (int y = 0; y <= gap; ++y) {
      afterGap.push_back(model->Cost(gap, x, y));
      acrossGap.push_back(model->Cost(x, gap, y));
      beforeGap.push_back(model->Cost(x, y, gap));
    }
  }
  // Shift s of a word after one that ends `difference` letters after its first, or after a gap,
  // costs its joining trigram what the trigram of the two moved back by s costs.
  for (int difference = 0; difference <= gap; ++difference) {
    for (int turn = 0; turn < gap; ++turn) {
      const int c = turn == 0 ? 0 : gap - turn;  // the first letter, moved back by s - first
      const int a = difference == gap ? gap : (c + difference) % gap;
      joins.push_back(AcrossGap(a, c));
    }
  }
}

const std::vector<std::int64_t>& ShiftGuesser::WordCosts(const std::string& word, bool closed,
                                                         std::vector<std::int64_t>& scratch) const {
  const int size = kAlphabetModels[alphabet].size;
  const std::size_t count = languages.size() * static_cast<std::size_t>(size);
  const auto* const moved = reinterpret_cast<const std::uint8_t*>(word.data());
  // Text repeats its words, and a word's cost under every shift is most of a guess's work: it is
  // kept for the next time it comes, in a line of another shift too. Forgotten all at once when
  // full, which keeps the memory bounded.
  if (!closed || word.size() > kLongestCachedWord) {
    scratch.assign(count, 0);
    AddWord(moved, moved + word.size(), closed, languages, size, scratch.data());
    return scratch;
  }
  auto found = wordCosts.find(word);
  if (found == wordCosts.end()) {
    if (wordCosts.size() >= kMostCachedWords) wordCosts.clear();
    found = wordCosts.emplace(word, std::vector<std::int64_t>(count)).first;
    AddWord(moved, moved + word.size(), true, languages, size, found->second.data());
  }
  return found->second;
}

void ShiftGuesser::CostWithGaps(std::vector<std::int64_t>& costs) const {
  const int size = kAlphabetModels[alphabet].size;
  const auto gap = static_cast<std::uint8_t>(size);
  const auto shifts = static_cast<std::size_t>(size);
  std::vector<std::int64_t> scratch;
  int before = size;  // the last letter of the word before, or a gap where there is none
  for (auto start = symbols.begin(); start != symbols.end();) {
    const auto end = std::find(start, symbols.end(), gap);
    const bool closed = end != symbols.end();
    // A word is scored moved back by its first letter, which makes it the same word under every
    // shift: shift s of the word is shift s - first of the word moved, and so is the trigram that
    // joins it to the word before.
    const int first = *start;
    std::string word(static_cast<std::size_t>(end - start), '\0');
    std::transform(start, end, word.begin(), [first, size](std::uint8_t symbol) {
      return static_cast<char>(Decrypted(symbol, first, size));
    });
    const std::vector<std::int64_t>& scored = WordCosts(word, closed, scratch);
    const int difference = before == size ? size : Decrypted(before, first, size);
    for (std::size_t m = 0; m < languages.size(); ++m) {
      const std::int64_t* const own = scored.data() + m * shifts;
      const std::int32_t* const join = languages[m].Joins(difference);
      std::int64_t* const total = costs.data() + m * shifts;
      for (int s = first; s < size; ++s) total[s] += own[s - first] + join[s - first];
      for (int s = 0; s < first; ++s) total[s] += own[s - first + size] + join[s - first + size];
    }
    before = *(end - 1);
    start = closed ? end + 1 : end;
  }
}

namespace {

// The same for letters alone, with a word gap allowed before any letter: the cost of the best
// way to place the gaps. After each letter, `gapBefore` is the best cost so far with a gap
// before that letter, and `letterBefore` with the letter before it. The text starts as after a
// gap, so before the first letter both come to the same: a gap then costs nothing more, and
// the letter before is a gap too.
std::int64_t CostLettersOnly(const ScoredLanguage& language,
                             const std::vector<std::uint8_t>& text) {
  constexpr std::int64_t kNever = INT64_MAX / 4;
  const LanguageModel& model = *language.model;
  const int gap = model.letters;
  std::int64_t gapBefore = 0;
  std::int64_t letterBefore = kNever;
  int b = gap;  // the letter before
  int a = gap;  // the letter before that, when there is no gap between
  for (const std::uint8_t symbol : text) {
    const int c = symbol;
    const std::int64_t joined =
        std::min(gapBefore + language.AfterGap(b, c), letterBefore + model.Cost(a, b, c));
    const std::int64_t parted =
        std::min(gapBefore + language.BeforeGap(gap, b), letterBefore + language.BeforeGap(a, b)) +
        language.AcrossGap(b, c);
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
  const std::int32_t* const costs =
      lettersOnly ? alphabet.noLanguageLettersOnly : alphabet.noLanguageWithGaps;
  std::vector<std::int64_t> rotated(size, lettersOnly ? 0 : counts[size] * costs[size]);
  // Each letter the text holds, which in a short line are few, at once in every rotation, in
  // two runs round the end rather than with a division for each.
  for (std::size_t letter = 0; letter < size; ++letter) {
    const std::int64_t count = counts[letter];
    if (count == 0) continue;
    const std::size_t turn = size - letter;
    for (std::size_t r = 0; r < turn; ++r) rotated[r] += count * costs[letter + r];
    for (std::size_t r = turn; r < size; ++r) rotated[r] += count * costs[r - turn];
  }
  return *std::min_element(rotated.begin(), rotated.end());
}

}  // namespace

ShiftGuesser::ShiftGuesser(Bounds bounds, std::size_t inAlphabet)
    : limits(bounds),
      alphabet(inAlphabet),
      reading(PresetAlphabet(inAlphabet)),
      asciiOnly(reading.Ascii()) {
  low.fill(-1);
  for (const auto* cased : {&reading.Lower(), &reading.Upper()}) {
    for (std::size_t i = 0; i < cased->size(); ++i) {
      if ((*cased)[i] < low.size()) low[(*cased)[i]] = static_cast<std::int8_t>(i);
    }
  }
  // The ASCII letters are never ranked with another alphabet of their script, and look up
  // none, which would cost a search for every other character.
  const std::string script = kAlphabetModels[inAlphabet].script;
  std::vector<char32_t> ofScript;
  for (const AlphabetModel& other : kAlphabetModels) {
    for (int i = 0; !asciiOnly && other.script == script && i < other.size; ++i) {
      ofScript.push_back(other.letters[i]);
      ofScript.push_back(SimpleUppercase(other.letters[i]));
    }
  }
  std::copy_if(ofScript.begin(), ofScript.end(), std::back_inserter(lacked),
               [this](char32_t c) { return reading.Index(c) < 0; });
  std::sort(lacked.begin(), lacked.end());
  lacked.erase(std::unique(lacked.begin(), lacked.end()), lacked.end());
  lackedTaken.assign(lacked.size(), 0);
}

void ShiftGuesser::Clear() {
  symbols.clear();
  std::fill(lackedTaken.begin(), lackedTaken.end(), 0);
  letters = 0;
  span = 0;
  decoder.Clear();
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

void ShiftGuesser::Add(const char* data, std::size_t size) {
  decoded.clear();
  decoder.Decode(data, size, decoded);
  Add(decoded);
}

void ShiftGuesser::Add(const std::vector<Character>& characters) {
  for (const Character& character : characters) {
    if (letters == limits.letters) return;
    // From the first letter on, its first bytes included; a span at its bound takes no more.
    if (letters > 0 && span + character.length > limits.span) {
      span = limits.span;
      return;
    }
    const char32_t c = character.c;
    const int place = c < low.size() ? low[c] : asciiOnly ? -1 : reading.Index(c);
    // No preset lacks an ASCII letter that another of its script has, and most text is ASCII.
    if (place < 0 && c >= 0x80 && !lacked.empty()) {
      const auto other = std::lower_bound(lacked.begin(), lacked.end(), c);
      if (other != lacked.end() && *other == c) {
        ++lackedTaken[static_cast<std::size_t>(other - lacked.begin())];
      }
    }
    Take(place);
    if (letters > 0) span += character.length;
  }
}

ShiftGuesser::Costs ShiftGuesser::Score(std::size_t lackedLetters) const {
  const AlphabetModel& model = kAlphabetModels[alphabet];
  const int size = model.size;
  Costs scored{};
  scored.lettersOnly = LettersOnly(symbols, size);
  std::vector<std::uint8_t> text;
  if (scored.lettersOnly) {
    std::copy_if(symbols.begin(), symbols.end(), std::back_inserter(text),
                 [size](std::uint8_t symbol) { return symbol != size; });
  }
  // Built when first needed: a guess reads a text in every alphabet, but scores it only in the
  // script of most of its letters.
  if (languages.empty()) {
    for (std::size_t row = 0; row < kLanguageModels.size(); ++row) {
      if (kLanguageModels[row].alphabet == alphabet) languages.emplace_back(row);
    }
  }
  scored.models.reserve(languages.size());
  for (const ScoredLanguage& language : languages) scored.models.push_back(language.row);
  const auto shifts = static_cast<std::size_t>(size);
  scored.languages.resize(scored.models.size() * shifts);
  // Integer sums, so that every target ranks, and refuses, exactly alike, and a sum in any
  // order is the same.
  if (!scored.lettersOnly) CostWithGaps(scored.languages);
  // Each shift's decryption once, for all the languages.
  std::vector<std::uint8_t> decrypted(scored.lettersOnly ? text.size() : 0);
  for (std::size_t shift = 0; scored.lettersOnly && shift < shifts; ++shift) {
    std::transform(text.begin(), text.end(), decrypted.begin(), [shift, size](std::uint8_t symbol) {
      return static_cast<std::uint8_t>(Decrypted(symbol, static_cast<int>(shift), size));
    });
    for (std::size_t i = 0; i < scored.models.size(); ++i) {
      scored.languages[i * shifts + shift] = CostLettersOnly(languages[i], decrypted);
    }
  }
  // A letter that the reading lacks and another alphabet has, it took for a word gap, but its
  // languages never hold one: each costs them what their rarest trigram does. Without that, a
  // short Russian text with ы read about as well as Bulgarian, which has no ы.
  for (std::size_t m = 0; lackedLetters > 0 && m < scored.models.size(); ++m) {
    const auto& levels = kLanguageModels[scored.models[m]].levels;
    const std::int64_t cost =
        static_cast<std::int64_t>(lackedLetters) * *std::max_element(levels.begin(), levels.end());
    const auto first = scored.languages.begin() + static_cast<std::ptrdiff_t>(m * shifts);
    std::for_each(first, first + static_cast<std::ptrdiff_t>(shifts),
                  [cost](std::int64_t& total) { total += cost; });
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
  // max_element gives the first of those with as many.
  const ShiftGuesser* const most = *std::max_element(
      readings.begin(), readings.end(),
      [](const ShiftGuesser* a, const ShiftGuesser* b) { return a->Letters() < b->Letters(); });
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

std::size_t ShiftGuesser::LettersLacked(const std::vector<const ShiftGuesser*>& others) const {
  std::size_t count = 0;
  for (std::size_t i = 0; i < lacked.size(); ++i) {
    const char32_t c = lacked[i];
    if (lackedTaken[i] > 0 &&
        std::any_of(others.begin(), others.end(),
                    [c](const ShiftGuesser* other) { return other->Reading().Index(c) >= 0; })) {
      count += lackedTaken[i];
    }
  }
  return count;
}

bool ShiftGuesser::Holds(const std::string& word, int shift) const {
  const auto gap = static_cast<std::uint8_t>(kAlphabetModels[alphabet].size);
  // The word as symbols, runs of other characters as one gap, and none at its ends.
  std::vector<std::uint8_t> wanted;
  const auto* const bytes = reinterpret_cast<const unsigned char*>(word.data());
  for (std::size_t i = 0; i < word.size();) {
    char32_t c = 0;
    const int length = DecodeUtf8(bytes + i, word.size() - i, c);
    const int place = length > 0 ? reading.Index(c) : -1;
    i += length > 0 ? static_cast<std::size_t>(length) : 1;
    if (place >= 0) {
      wanted.push_back(static_cast<std::uint8_t>(place));
    } else if (!wanted.empty() && wanted.back() != gap) {
      wanted.push_back(gap);
    }
  }
  if (!wanted.empty() && wanted.back() == gap) wanted.pop_back();
  if (wanted.empty()) return false;
  const auto matches = [shift, gap](std::uint8_t symbol, std::uint8_t letter) {
    return Decrypted(symbol, shift, gap) == letter;
  };
  return std::search(symbols.begin(), symbols.end(), wanted.begin(), wanted.end(), matches) !=
         symbols.end();
}

namespace {

// Which pairs of a language and a shift of `scored`, at language * size + shift, `steering`
// allows for `reading`: bytes, not the bits of vector<bool>, whose lookups showed in a short
// line's guess.
using Pairs = std::vector<unsigned char>;
Pairs Allowed(const ShiftGuesser& reading, const ShiftGuesser::Costs& scored,
              const Steering& steering) {
  const auto size = static_cast<std::size_t>(kAlphabetModels[reading.Alphabet()].size);
  Pairs shifts(size, 1);
  for (std::size_t shift = 0; shift < size; ++shift) {
    for (const std::string& crib : steering.cribs) {
      if (!reading.Holds(crib, static_cast<int>(shift))) shifts[shift] = 0;
    }
  }
  Pairs allowed(scored.models.size() * size);
  for (std::size_t m = 0; m < scored.models.size(); ++m) {
    const std::size_t row = scored.models[m];
    if (steering.languages.empty() || steering.languages[row]) {
      std::copy(shifts.begin(), shifts.end(),
                allowed.begin() + static_cast<std::ptrdiff_t>(m * size));
    }
  }
  return allowed;
}

}  // namespace

namespace {

// How the best allowed explanation of each reading compares with no language.
struct Comparison {
  std::int64_t least = 0;  // the least of its costs less no language's, or 0
  bool refused = true;     // whether every reading's best costs more than the margin more
  bool any = false;        // whether any pair was allowed at all
};

Comparison Compare(const std::vector<ShiftGuesser::Costs>& scores,
                   const std::vector<Pairs>& allowed, std::int64_t margin) {
  Comparison compared;
  for (std::size_t g = 0; g < scores.size(); ++g) {
    std::int64_t best = INT64_MAX;
    for (std::size_t i = 0; i < scores[g].languages.size(); ++i) {
      if (allowed[g][i] != 0) best = std::min(best, scores[g].languages[i]);
    }
    if (best == INT64_MAX) continue;
    compared.least = std::min(compared.least, best - scores[g].noLanguage);
    compared.refused = compared.refused && best - scores[g].noLanguage > margin;
    compared.any = true;
  }
  return compared;
}

// Orders the shifts of `weights` in `ranking`, most likely first, with their share of `total`:
// those with a pair in `allowed`, at language * size + shift.
void Order(const std::vector<double>& weights, const Pairs& allowed, double total,
           ShiftGuesser::Ranking& ranking) {
  // Room made at once: a short line's guess would otherwise spend much of its time growing them.
  std::vector<std::pair<double, int>> ordered;
  ordered.reserve(weights.size());
  ranking.shifts.reserve(weights.size());
  ranking.probabilities.reserve(weights.size());
  for (std::size_t shift = 0; shift < weights.size(); ++shift) {
    for (std::size_t i = shift; i < allowed.size(); i += weights.size()) {
      if (allowed[i] != 0) {
        ordered.emplace_back(weights[shift], static_cast<int>(shift));
        break;
      }
    }
  }
  // Where nothing is allowed, every shift, for a list to look at.
  if (ordered.empty()) {
    for (std::size_t shift = 0; shift < weights.size(); ++shift) {
      ordered.emplace_back(weights[shift], static_cast<int>(shift));
    }
  }
  // Heaviest first, and equal weights in shift order, as they come: by insertion, which moves
  // only lighter ones. For so few, std::sort took a tenth of a short line's guess, and this less.
  for (auto i = ordered.begin(); i != ordered.end(); ++i) {
    const auto moved = *i;
    auto j = i;
    for (; j != ordered.begin() && (j - 1)->first < moved.first; --j) *j = *(j - 1);
    *j = moved;
  }
  for (const auto& [weight, shift] : ordered) {
    ranking.shifts.push_back(shift);
    ranking.probabilities.push_back(weight / total);
  }
}

// The row in kLanguageModels of the language whose pair with `shift` weighs most in `byPair`,
// of the languages `models` at language * size + shift.
std::size_t HeaviestLanguage(const std::vector<double>& byPair,
                             const std::vector<std::size_t>& models, std::size_t shift,
                             std::size_t size) {
  std::size_t heaviest = shift;
  for (std::size_t i = shift; i < byPair.size(); i += size) {
    if (byPair[i] > byPair[heaviest]) heaviest = i;
  }
  return models[heaviest / size];
}

}  // namespace

ShiftGuesser::Ranking RankTogether(const std::vector<const ShiftGuesser*>& readings,
                                   const Steering& steering) {
  const std::vector<const ShiftGuesser*> guessers = InScriptOfMostLetters(readings);
  std::vector<ShiftGuesser::Costs> scores(guessers.size());
  std::transform(guessers.begin(), guessers.end(), scores.begin(),
                 [&guessers](const ShiftGuesser* guesser) {
                   return guesser->Score(guesser->LettersLacked(guessers));
                 });
  std::vector<Pairs> allowed;
  ShiftGuesser::Ranking ranking{};
  ranking.languages.reserve(kLanguageModels.size());
  // The first reading has the most letters.
  const std::size_t letters = guessers.front()->Letters();
  for (std::size_t g = 0; g < guessers.size(); ++g) {
    allowed.push_back(Allowed(*guessers[g], scores[g], steering));
    for (const std::size_t row : scores[g].models) {
      if (steering.languages.empty() || steering.languages[row]) ranking.languages.push_back(row);
    }
  }
  const bool lettersOnly = scores.front().lettersOnly;
  // Each language and shift is weighed by how much less it costs than no language does in the
  // same reading, so that readings of different letters compare.
  const Comparison compared =
      Compare(scores, allowed, lettersOnly ? kRefusalLettersOnly : kRefusalWithGaps);
  ranking.cribless = !compared.any;
  ranking.refused = !compared.any || (letters >= kLettersToRefuse && compared.refused);
  // The posterior, relative to the least costly explanation, so that exp cannot overflow.
  const double scale = (lettersOnly ? kScaleLettersOnly : kScaleWithGaps) / 1000;
  double total = kNoLanguagePrior * std::exp(-scale * static_cast<double>(-compared.least));
  ranking.noLanguage = total;
  // Of each reading, the weight of each language and shift, and of each shift.
  std::vector<std::vector<double>> byPair;
  std::vector<std::vector<double>> byShift;
  for (std::size_t g = 0; g < scores.size(); ++g) {
    const ShiftGuesser::Costs& scored = scores[g];
    const auto size = static_cast<std::size_t>(kAlphabetModels[guessers[g]->Alphabet()].size);
    std::vector<double>& pairs = byPair.emplace_back(scored.languages.size());
    std::vector<double>& shifts = byShift.emplace_back(size);
    for (std::size_t m = 0, i = 0; m < scored.models.size(); ++m) {
      const double prior = (1 - kNoLanguagePrior) * kLanguageModels[scored.models[m]].prior /
                           static_cast<double>(size);
      for (std::size_t shift = 0; shift < size; ++shift, ++i) {
        if (allowed[g][i] == 0) continue;
        pairs[i] =
            prior * std::exp(-scale * static_cast<double>(scored.languages[i] - scored.noLanguage -
                                                          compared.least));
        shifts[shift] += pairs[i];
        total += pairs[i];
      }
    }
  }
  ranking.noLanguage /= total;
  // The alphabet with the most weight has its shifts ranked.
  std::vector<double> sums(byShift.size());
  std::transform(byShift.begin(), byShift.end(), sums.begin(),
                 [](const std::vector<double>& weights) {
                   return std::accumulate(weights.begin(), weights.end(), 0.0);
                 });
  const auto chosen =
      static_cast<std::size_t>(std::max_element(sums.begin(), sums.end()) - sums.begin());
  ranking.alphabet = guessers[chosen]->Alphabet();
  Order(byShift[chosen], allowed[chosen], total, ranking);
  ranking.language =
      HeaviestLanguage(byPair[chosen], scores[chosen].models,
                       static_cast<std::size_t>(ranking.shifts[0]), byShift[chosen].size());
  return ranking;
}
