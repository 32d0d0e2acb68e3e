#include "Find.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

#include "Alphabet.h"
#include "FittedConstants.h"
#include "Guess.h"
#include "LanguageModels.h"
#include "Unicode.h"

namespace {

constexpr double kNever = std::numeric_limits<double>::infinity();

// Costs in nats, the models' thousandths scaled as the guess scales them, so that a difference
// of costs is a log-odds that can be trusted.
constexpr double kScale = kScaleWithGaps / 1000;

// The priors, in nats, chosen by hand on the documents that bench/find_accuracy.py --fit makes
// of text set apart from what the tables were counted from, for the most runs of three words or
// more found while at most 0.1% of the plain text's letters are changed. A run starts at about
// one word in 50, and goes on to the next word nine times in ten; its pair of a language and a
// shift is as likely as the language's prior and the shifts are many. Text as written keeps to
// its language: a switch costs as much as a word in 400 switching, so that a word that happens
// to be another language's (a one-letter word, mostly) does not break off a run's first word.
// Letters at random, as names, code and hashes are written, cost more than their letters do,
// since most of a text is one of its languages: without that, the first and last words of a
// run, where what is written reads as no better than random, were left encrypted.
constexpr double kStartRun = 4.0;
constexpr double kStayInRun = 0.105;
constexpr double kLeaveRun = 2.303;
constexpr double kSwitchLanguage = 6.0;
constexpr double kAtRandom = 4.0;

// The pieces the text is read in: a line end, or any other character that parts words, near
// this far on ends one. A run is not found across the end of a piece.
constexpr std::size_t kPiece = std::size_t{16} * 1024;
// The words whose costs are kept, which natural text repeats: the commonest hundred make half of
// it. Forgotten all at once when full, which keeps the memory bounded.
constexpr std::size_t kMostCached = 8192;

bool IsAsciiLetter(unsigned char byte) { return (byte | 0x20U) >= 'a' && (byte | 0x20U) <= 'z'; }

}  // namespace

RunFinder::RunFinder(const std::vector<std::size_t>& alphabets,
                     const std::vector<bool>& allowedLanguages) {
  for (const std::size_t row : alphabets) {
    const std::size_t reading = readings.size();
    readings.push_back(PresetAlphabet(row));
    for (char32_t c = 0; c < asciiMask.size(); ++c) {
      if (readings.back().Index(c) >= 0) asciiMask[c] |= 1U << reading;
    }
    rows.push_back(row);
    for (std::size_t language = 0; language < kLanguageModels.size(); ++language) {
      const LanguageModel& model = kLanguageModels[language];
      if (model.alphabet == row && (allowedLanguages.empty() || allowedLanguages[language])) {
        states.push_back({reading, language, 0, 0});
      }
    }
  }
  written = states.size();
  for (std::size_t k = 0; k < written; ++k) {
    const State state = states[k];
    const int size = kAlphabetModels[rows[state.reading]].size;
    const double prior = kLanguageModels[state.language].prior / (size - 1);
    for (int shift = 1; shift < size; ++shift) {
      states.push_back({state.reading, state.language, shift, kStartRun - std::log(prior)});
    }
  }
}

unsigned RunFinder::ReadingsOf(char32_t c) const {
  if (c < 0x80) return asciiMask[c];
  unsigned mask = 0;
  for (std::size_t r = 0; r < readings.size(); ++r) {
    if (readings[r].Index(c) >= 0) mask |= 1U << r;
  }
  return mask;
}

namespace {

// The character at `at`, and its length; a byte that begins none is 0, one byte long.
int CharacterAt(const std::string& text, std::size_t at, char32_t& c) {
  const auto* const bytes = reinterpret_cast<const unsigned char*>(text.data());
  c = bytes[at];
  if (c < 0x80) return 1;
  const int length = DecodeUtf8(bytes + at, text.size() - at, c);
  if (length > 0) return length;
  c = 0;
  return 1;
}

// Whether the byte at `at` is a digit or a sign of code or paths, or a full stop with a letter
// at `beyond`, on its other side.
bool CodeAt(const std::string& text, std::size_t at, std::size_t beyond) {
  const char c = text[at];
  if (c == '.') {
    return beyond < text.size() && IsAsciiLetter(static_cast<unsigned char>(text[beyond]));
  }
  return std::string("0123456789_/\\@=$%#{}<>|~^`*+").find(c) != std::string::npos;
}

}  // namespace

std::vector<RunFinder::Word> RunFinder::Words(const std::string& text) const {
  std::vector<Word> words;
  bool inWord = false;
  for (std::size_t i = 0; i < text.size();) {
    char32_t c = 0;
    const auto length = static_cast<std::size_t>(CharacterAt(text, i, c));
    const unsigned mask = ReadingsOf(c);
    // A letter of no reading, such as an accented one in the ASCII letters, or a combining mark,
    // stays in its word, as a shift leaves it, and is passed over when the word is scored: the
    // word's pieces alone would read as anything.
    const bool foreign =
        mask == 0 && c >= 0x80 && (SimpleUppercase(c) != c || KindOf(c) == CharacterKind::kMark);
    if (mask != 0 || foreign) {
      if (!inWord) words.push_back({i, i, ~0U, false, false});
      Word& word = words.back();
      word.end = i + length;
      word.mask &= mask != 0 ? mask : ~0U;
      word.lettered = word.lettered || mask != 0;
    }
    inWord = mask != 0 || foreign;
    i += length;
  }
  // Letters glued to digits or to the signs of code and paths are mostly names, numbers and
  // options (h264, P-Q4, BC_BASE_MAX, po/templates.pot): such a word may go on with a run, as
  // 100MHz does in an encrypted sentence, but not start one.
  for (Word& word : words) {
    word.glued = (word.begin > 0 && CodeAt(text, word.begin - 1, word.begin - 2)) ||
                 (word.end < text.size() && CodeAt(text, word.end, word.end + 1));
    if (!word.lettered) word.mask = 0;
  }
  return words;
}

namespace {

// The cost of `symbols` in `model` decrypted by `shift`, between word gaps, in nats.
double WordCost(const std::vector<std::uint8_t>& symbols, const LanguageModel& model, int shift) {
  const int gap = model.letters;
  int a = gap;
  int b = gap;
  std::int64_t sum = 0;
  for (const std::uint8_t symbol : symbols) {
    const int c = symbol >= shift ? symbol - shift : symbol - shift + gap;
    sum += model.Cost(a, b, c);
    a = b;
    b = c;
  }
  return kScale * static_cast<double>(sum + model.Cost(a, b, gap));
}

}  // namespace

std::vector<std::uint8_t> RunFinder::Symbols(const std::string& word, std::size_t reading) const {
  std::vector<std::uint8_t> symbols;
  for (std::size_t i = 0; i < word.size();) {
    char32_t c = 0;
    i += static_cast<std::size_t>(CharacterAt(word, i, c));
    const int place = readings[reading].Index(c);
    if (place >= 0) symbols.push_back(static_cast<std::uint8_t>(place));
  }
  return symbols;
}

const std::vector<double>& RunFinder::Costs(const std::string& text, const Word& word) {
  std::string key = text.substr(word.begin, word.end - word.begin);
  const auto cached = cache.find(key);
  if (cached != cache.end()) return cached->second;
  if (cache.size() >= kMostCached) cache.clear();
  std::vector<double> costs(states.size(), kNever);
  // The word's letters as symbols of each reading that holds them all, and "as written" the
  // cheapest of its languages unshifted and of letters at random.
  std::vector<std::vector<std::uint8_t>> symbols(readings.size());
  std::vector<double> random(readings.size(), kNever);
  for (std::size_t r = 0; r < readings.size(); ++r) {
    if ((word.mask & (1U << r)) == 0) continue;
    symbols[r] = Symbols(key, r);
    const AlphabetModel& alphabet = kAlphabetModels[rows[r]];
    const std::int64_t sum =
        std::accumulate(symbols[r].begin(), symbols[r].end(),
                        std::int64_t{alphabet.noLanguageWithGaps[alphabet.size]},
                        [&alphabet](std::int64_t total, std::uint8_t symbol) {
                          return total + alphabet.noLanguageWithGaps[symbol];
                        });
    random[r] = kScale * static_cast<double>(sum) + (word.glued ? 0 : kAtRandom);
  }
  for (std::size_t k = 0; k < states.size(); ++k) {
    const State& state = states[k];
    if (k < written && word.mask == 0) {
      costs[k] = 0;
    } else if (!symbols[state.reading].empty()) {
      costs[k] = WordCost(symbols[state.reading], kLanguageModels[state.language], state.shift);
      if (k < written) costs[k] = std::min(costs[k], random[state.reading]);
    }
  }
  return cache.emplace(std::move(key), std::move(costs)).first->second;
}

namespace {

// Of `values`, the index of the least from `first` to `last`, or `last` where they are none.
std::size_t Least(const std::vector<double>& values, std::size_t first, std::size_t last) {
  const auto begin = values.begin() + static_cast<std::ptrdiff_t>(first);
  const auto end = values.begin() + static_cast<std::ptrdiff_t>(last);
  return first == last ? last
                       : static_cast<std::size_t>(std::min_element(begin, end) - values.begin());
}

}  // namespace

void RunFinder::Step(const std::vector<double>& costs, bool glued, std::vector<double>& best,
                     Before& before, std::uint8_t* came) const {
  const std::size_t count = best.size();
  before.written = Least(best, 0, written);
  before.run = Least(best, written, count);
  const double asWritten = best[before.written];
  const double left = before.run < count ? best[before.run] + kLeaveRun : kNever;
  std::vector<double> next(count);
  for (std::size_t k = 0; k < written; ++k) {
    const double other = asWritten + kSwitchLanguage;
    const double least = std::min({best[k], other, left});
    next[k] = costs[k] + least;
    came[k] = least == best[k] ? 0 : least == other ? 1 : 2;
  }
  const double outside = std::min(asWritten, left);
  for (std::size_t k = written; k < count; ++k) {
    const double stay = best[k] + kStayInRun;
    const double enter = glued ? kNever : outside + states[k].enter;
    next[k] = costs[k] + std::min(stay, enter);
    came[k] = stay <= enter ? 0 : (asWritten <= left ? 1 : 2);
  }
  best.swap(next);
}

std::vector<std::size_t> RunFinder::Path(const std::string& text, const std::vector<Word>& words) {
  const std::size_t count = states.size();
  // Where each word's best path to each state came from: 0 the same state, 1 the best state as
  // written before, 2 the best run state before, which `before` keeps.
  std::vector<std::uint8_t> from(words.size() * count);
  std::vector<Before> before(words.size());
  std::vector<double> best(count, kNever);
  std::fill(best.begin(), best.begin() + static_cast<std::ptrdiff_t>(written), 0);
  for (std::size_t t = 0; t < words.size(); ++t) {
    Step(Costs(text, words[t]), words[t].glued, best, before[t], &from[t * count]);
  }
  // The text ends as written: back from there, through where each state came from.
  for (std::size_t k = written; k < count; ++k) best[k] += kLeaveRun;
  std::size_t state = Least(best, 0, count);
  std::vector<std::size_t> path(words.size());
  for (std::size_t t = words.size(); t-- > 0;) {
    path[t] = state;
    const std::uint8_t came = from[t * count + state];
    state = came == 0 ? state : came == 1 ? before[t].written : before[t].run;
  }
  return path;
}

std::vector<FoundRun> RunFinder::Find(const std::string& text) {
  const std::vector<Word> words = Words(text);
  const std::vector<std::size_t> path = Path(text, words);
  // Each run, and how much likelier it makes its words than reading them as written does. A run
  // is never left for the same state at once, which costs more than staying.
  std::vector<FoundRun> runs;
  for (std::size_t t = 0; t < words.size();) {
    const std::size_t k = path[t];
    std::size_t last = t;
    while (last + 1 < words.size() && path[last + 1] == k) ++last;
    if (k >= written) {
      const State& chosen = states[k];
      double gain = -chosen.enter - kLeaveRun - static_cast<double>(last - t) * kStayInRun;
      for (std::size_t w = t; w <= last; ++w) {
        const std::vector<double>& costs = Costs(text, words[w]);
        gain += costs[Least(costs, 0, written)] - costs[k];
      }
      const double probability = 1 / (1 + std::exp(-gain));
      if (probability >= kSureProbability) {
        runs.push_back({words[t].begin, words[last].end, chosen.shift, rows[chosen.reading],
                        chosen.language, probability});
      }
    }
    t = last + 1;
  }
  return runs;
}

namespace {

// Where the piece at the start of `pending` ends: after its last line end in the second half of
// kPiece bytes, or else its last other byte that parts words, or else where no character is cut.
std::size_t PieceEnd(const std::string& pending) {
  const std::size_t half = kPiece / 2;
  const std::size_t lineEnd = pending.rfind('\n', kPiece - 1);
  if (lineEnd != std::string::npos && lineEnd >= half) return lineEnd + 1;
  for (std::size_t i = kPiece; i-- > half;) {
    const auto byte = static_cast<unsigned char>(pending[i]);
    if (byte < 0x80 && !IsAsciiLetter(byte)) return i + 1;
  }
  return kPiece - CutShortTail(pending.data(), kPiece);
}

// Finds the runs of a message, piece by piece, and writes what --find or -d --find asks for.
class Finder {
 public:
  Finder(bool decrypt, const Message& of, const Writer& to)
      : decrypting(decrypt), message(of), write(to), finder(of.alphabets, of.steering.languages) {}

  bool Piece(const std::string& piece) {
    const std::vector<FoundRun> runs = finder.Find(piece);
    std::string out;
    std::size_t done = 0;
    for (const FoundRun& run : runs) {
      AlphabetRotation rotation(PresetAlphabet(run.alphabet), run.shift, false);
      std::string decrypted = rotation.Rotate(piece.substr(run.begin, run.end - run.begin));
      decrypted += rotation.Finish();
      if (decrypting) {
        out += piece.substr(done, run.begin - done) + decrypted;
      } else {
        Advance(piece, done, run.begin);
        out += (message.several ? message.name + ":" : "") + std::to_string(line) + ":" +
               std::to_string(column) + '\t' + std::to_string(run.shift) + '\t' +
               kAlphabetModels[run.alphabet].name + '\t' + kLanguageModels[run.language].code +
               '\t' + Percent(run.probability) + '\t' + Preview(decrypted, 0) + '\n';
      }
      done = decrypting ? run.end : run.begin;
    }
    if (decrypting) {
      out += piece.substr(done);
    } else {
      Advance(piece, done, piece.size());
    }
    return write(out.data(), out.size());
  }

 private:
  // Moves the line and column on over the piece's bytes from `from` to `to`.
  void Advance(const std::string& piece, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
      if (piece[i] == '\n') {
        ++line;
        column = 1;
      } else {
        ++column;
      }
    }
  }

  bool decrypting;
  const Message& message;
  const Writer& write;
  RunFinder finder;
  std::size_t line = 1;
  std::size_t column = 1;
};

}  // namespace

Outcome FindInMessage(bool decrypting, const Message& message, const Writer& write) {
  Finder finder(decrypting, message, write);
  std::string pending;
  for (bool ended = false; !ended;) {
    const std::size_t start = pending.size();
    pending.resize(start + message.blockSize);
    const std::size_t got = message.read(&pending[start], message.blockSize);
    pending.resize(start + got);
    ended = got == 0;
    while (pending.size() >= kPiece || (ended && !pending.empty())) {
      const std::size_t end = pending.size() >= kPiece ? PieceEnd(pending) : pending.size();
      if (!finder.Piece(pending.substr(0, end))) return Outcome::kWriteFailed;
      pending.erase(0, end);
    }
  }
  return message.readFailed() ? Outcome::kFailed : Outcome::kDone;
}
