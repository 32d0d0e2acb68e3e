#include "Guess.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>
#include <utility>

#include "Alphabet.h"
#include "Diagnostics.h"
#include "Filter.h"
#include "Json.h"
#include "LanguageModels.h"
#include "ShiftGuess.h"
#include "Unicode.h"

namespace {

// What a character of a preview shows, the columns that takes, and the bytes it stands for.
struct Glyph {
  std::string text;
  std::size_t columns;
  std::size_t length;
};

// The character at `bytes`, of which `available` are there, as a preview shows it. Control bytes
// and bytes that begin no character are written as cat -vT writes them, and format characters (the
// bidirectional controls among them) and line and paragraph separators as <U+202E>, so that none of
// them can act on the terminal; every other character from U+00A0 on is shown as it is, in the
// columns a terminal gives it.
Glyph Shown(const unsigned char* bytes, std::size_t available) {
  char32_t c = 0;
  const int decoded = DecodeUtf8(bytes, available, c);
  if (decoded > 1 && c >= 0xA0) {
    const auto length = static_cast<std::size_t>(decoded);
    if (KindOf(c) == CharacterKind::kFormat || c == 0x2028 || c == 0x2029) {
      std::array<char, 16> escape{};
      const int size =
          std::snprintf(escape.data(), escape.size(), "<U+%04X>", static_cast<unsigned>(c));
      return {escape.data(), static_cast<std::size_t>(size), length};
    }
    return {std::string(reinterpret_cast<const char*>(bytes), length),
            static_cast<std::size_t>(Columns(c)), length};
  }
  auto byte = bytes[0];
  std::string text = byte >= 0x80 ? "M-" : "";
  byte &= 0x7F;
  if (byte < 0x20 || byte == 0x7F) {
    text += {'^', static_cast<char>(byte ^ 0x40)};
  } else {
    text += static_cast<char>(byte);
  }
  return {text, text.size(), 1};
}

}  // namespace

std::string Preview(const std::string& line, std::size_t width) {
  const std::size_t kColumns = width == 0 ? SIZE_MAX : width;
  std::string shown;
  std::size_t columns = 0;
  const auto* const bytes = reinterpret_cast<const unsigned char*>(line.data());
  for (std::size_t i = 0; i < line.size();) {
    const Glyph glyph = Shown(bytes + i, line.size() - i);
    if (columns + glyph.columns > kColumns) break;
    shown += glyph.text;
    columns += glyph.columns;
    i += glyph.length;
  }
  return shown;
}

namespace {

// `line` decrypted with `shift` of the alphabet in row `alphabet` of kAlphabetModels.
std::string Decrypted(const std::string& line, int shift, std::size_t alphabet) {
  AlphabetRotation rotation(PresetAlphabet(alphabet), shift, false);
  // In two statements: the operands of + may be worked out in either order.
  std::string decrypted = rotation.Rotate(line);
  return decrypted + rotation.Finish();
}

}  // namespace

Sample::FirstLine::FirstLine(Alphabet letters) : alphabet(std::move(letters)) {
  for (std::size_t c = 0; c < asciiLetter.size(); ++c) {
    asciiLetter[c] = alphabet.Index(static_cast<char32_t>(c)) >= 0;
  }
}

void Sample::FirstLine::Add(const char* data, std::size_t size) {
  for (std::size_t i = 0; i < size && !done; ++i) {
    const char byte = data[i];
    if (byte == '\n') {
      done = lettered;
      // A line of a CR LF file ends at its CR, which would only be noise at the end of a preview.
      if (done && !line.empty() && line.back() == '\r') line.pop_back();
      if (!done) line.clear();
      character.clear();
      continue;
    }
    const bool kept = line.size() < kBytes;
    if (kept) line += byte;
    if (lettered) continue;
    // Every line of a long text may be looked at: ASCII is looked up, not decoded.
    const auto value = static_cast<unsigned char>(byte);
    if (value < 0x80 && character.empty()) {
      Found(asciiLetter[value], kept, std::string(1, byte));
      continue;
    }
    character += byte;
    char32_t c = 0;
    const int length =
        DecodeUtf8(reinterpret_cast<const unsigned char*>(character.data()), character.size(), c);
    if (length == kCutShort) continue;
    Found(length > 0 && alphabet.Index(c) >= 0, kept, character);
    character.clear();
  }
}

void Sample::FirstLine::Clear() {
  line.clear();
  character.clear();
  lettered = false;
  firstLetter = 0;
  done = false;
}

void Sample::FirstLine::Found(bool letter, bool kept, const std::string& bytes) {
  if (!letter) return;
  lettered = true;
  // Past what is kept of the line: kept from the letter on, marked as cut.
  if (!kept) line = "..." + bytes;
  firstLetter = line.size() - bytes.size();
}

std::string Sample::FirstLine::Text(std::size_t width) const {
  if (!lettered) return {};
  // A letter past what a preview shows begins it, so that there is something to read: past the
  // first three quarters, which leave room for a few of its neighbours.
  const bool far = width != 0 && firstLetter > width / 4 * 3;
  return far ? "..." + line.substr(firstLetter) : line;
}

Sample::Sample(ShiftGuesser::Bounds bounds, const std::vector<std::size_t>& alphabets,
               bool listing) {
  for (const std::size_t alphabet : alphabets) {
    guessers.emplace_back(bounds, alphabet);
    if (listing) firstLines.emplace_back(guessers.back().Reading());
  }
}

void Sample::Add(const char* data, std::size_t size) {
  // A few kilobytes at a time, since a block decoded whole would take eight times its size.
  constexpr std::size_t kPiece = 4096;
  for (std::size_t at = 0; at < size; at += kPiece) {
    characters.clear();
    decoder.Decode(data + at, std::min(kPiece, size - at), characters);
    for (ShiftGuesser& guesser : guessers) guesser.Add(characters);
  }
  for (FirstLine& line : firstLines) line.Add(data, size);
}

void Sample::Clear() {
  for (ShiftGuesser& guesser : guessers) guesser.Clear();
  for (FirstLine& line : firstLines) line.Clear();
  held.clear();
  ended = false;
  decoder.Clear();
}

std::size_t Sample::Letters() const {
  std::size_t most = 0;
  for (const ShiftGuesser& guesser : guessers) most = std::max(most, guesser.Letters());
  return most;
}

bool Sample::Full() const {
  return std::any_of(guessers.begin(), guessers.end(),
                     [](const ShiftGuesser& guesser) { return guesser.Full(); });
}

ShiftGuesser::Ranking Sample::Rank(const Steering& steering) const {
  std::vector<const ShiftGuesser*> all(guessers.size());
  std::transform(guessers.begin(), guessers.end(), all.begin(),
                 [](const ShiftGuesser& guesser) { return &guesser; });
  return RankTogether(all, steering);
}

std::vector<std::size_t> GuessedAlphabets() {
  std::vector<std::size_t> alphabets = {kDefaultAlphabet};
  for (std::size_t i = 0; i < kAlphabetModels.size(); ++i) {
    if (std::string(kAlphabetModels[i].script) != kAlphabetModels[kDefaultAlphabet].script) {
      alphabets.push_back(i);
    }
  }
  return alphabets;
}

bool ReadSample(const Reader& read, Sample& sample, const Writer* passOn, std::size_t blockSize) {
  std::string& held = sample.held;
  std::size_t beforeALetter = 0;
  for (;;) {
    const std::size_t start = held.size();
    held.resize(start + blockSize);
    const std::size_t got = read(&held[start], blockSize);
    held.resize(start + got);
    if (got == 0) {
      sample.ended = true;
      break;
    }
    sample.Add(&held[start], got);
    if (passOn == nullptr) {
      held.clear();
    } else if (sample.Letters() == 0) {
      // A character cut short at the end may yet be a letter: it waits to be decrypted whole.
      const std::size_t passed = held.size() - CutShortTail(held.data(), held.size());
      if (passed > 0 && !(*passOn)(held.data(), passed)) return false;
      held.erase(0, passed);
    }
    if (sample.Full()) break;
    if (sample.Letters() == 0) beforeALetter += got;
    if (passOn == nullptr && beforeALetter >= Sample::kMostBeforeALetter) break;
  }
  return true;
}

bool DecryptRest(int shift, std::size_t alphabet, const Sample& sample, const Reader& read,
                 const Writer& write, std::size_t blockSize) {
  // The sample's own letters, rather than the preset made again, which would cost more than a
  // short line's guess.
  const auto reading = std::find_if(
      sample.guessers.begin(), sample.guessers.end(),
      [alphabet](const ShiftGuesser& guesser) { return guesser.Alphabet() == alphabet; });
  AlphabetRotation rotation(
      reading != sample.guessers.end() ? reading->Reading() : PresetAlphabet(alphabet), shift,
      false);
  std::string start = rotation.Rotate(sample.held);
  // Where the sample holds all there was, as it mostly does a line of --lines, there is nothing
  // to stream, and a stream's buffer would cost more than the line's guess.
  if (sample.ended) start += rotation.Finish();
  return write(start.data(), start.size()) &&
         (sample.ended || RotateStream(rotation, read, write, blockSize));
}

std::string LanguageNames(const std::string& lastJoin, const std::vector<std::size_t>& languages) {
  // Each name once: a language may be known in two alphabets.
  std::vector<std::string> names;
  for (std::size_t row = 0; row < kLanguageModels.size(); ++row) {
    const char* const name = kLanguageModels[row].name;
    const bool known =
        languages.empty() || std::find(languages.begin(), languages.end(), row) != languages.end();
    if (known && std::find(names.begin(), names.end(), name) == names.end()) {
      names.emplace_back(name);
    }
  }
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == names.size() ? " " + lastJoin + " " : ", ") + names[i];
  }
  return text;
}

Judgement Judge(const ShiftGuesser::Ranking& ranking, const std::vector<std::string>& cribs) {
  if (ranking.cribless) {
    std::string words;
    for (std::size_t i = 0; i < cribs.size(); ++i) {
      words += (i == 0 ? "" : i + 1 == cribs.size() ? " and " : ", ") + Quote(cribs[i]);
    }
    return {true, "no shift makes the text hold " + words};
  }
  if (ranking.refused) {
    return {true, "no shift makes the text read as " + LanguageNames("or", ranking.languages)};
  }
  if (ranking.probabilities[0] >= kSureProbability) return {};
  std::string note = "uncertain guess: shift " + std::to_string(ranking.shifts[0]) + " at " +
                     Percent(ranking.probabilities[0]);
  // With cribs, the shift may be the only one left.
  if (ranking.shifts.size() > 1) {
    note += ", then shift " + std::to_string(ranking.shifts[1]) + " at " +
            Percent(ranking.probabilities[1]);
  }
  // Where the text more likely reads as no language at all, the note says so: the two shifts
  // alone would not tell where the rest went.
  if (ranking.noLanguage > ranking.probabilities[0]) {
    note += ", and no language at " + Percent(ranking.noLanguage);
  }
  return {false, note};
}

namespace {

// `probability` rounded down to `places` decimals, so that what is shown is never surer than
// what was found, and at most one below 1 in the last of them: a probability of 1 is only the
// others too small for a double, and no guess is certain.
double RoundedDown(double probability, int places) {
  const double unit = std::pow(10.0, places);
  return std::min(std::floor(unit * probability), unit - 1) / unit;
}

}  // namespace

std::string Percent(double probability) {
  std::array<char, 16> text{};
  static_cast<void>(
      std::snprintf(text.data(), text.size(), "%.1f%%", 100 * RoundedDown(probability, 3)));
  return text.data();
}

std::string Listing(const ShiftGuesser::Ranking& ranking, const std::string& line,
                    std::size_t width) {
  std::string listing;
  for (std::size_t i = 0; i < ranking.shifts.size(); ++i) {
    const int shift = ranking.shifts[i];
    listing += std::to_string(shift) + '\t' + Percent(ranking.probabilities[i]) + '\t' +
               Preview(Decrypted(line, shift, ranking.alphabet), width) + '\n';
  }
  return listing;
}

namespace {

Outcome Written(const Writer& write, const std::string& text) {
  return write(text.data(), text.size()) ? Outcome::kDone : Outcome::kWriteFailed;
}

std::size_t ReadingOf(const Message& message, const ShiftGuesser::Ranking& ranking) {
  return static_cast<std::size_t>(
      std::find(message.alphabets.begin(), message.alphabets.end(), ranking.alphabet) -
      message.alphabets.begin());
}

// The lines of --list for `message`, headed by its name where there are several.
std::string ListingOf(const Message& message, const Sample& sample,
                      const ShiftGuesser::Ranking& ranking) {
  const std::string line = message.line > 0 ? "line " + std::to_string(message.line) : "";
  const std::string named =
      message.several ? message.name + (line.empty() ? "" : ", " + line) : line;
  const std::string heading =
      named.empty() ? "" : std::string(message.first ? "" : "\n") + "==> " + named + " <==\n";
  return heading + Listing(ranking,
                           sample.firstLines[ReadingOf(message, ranking)].Text(message.width),
                           message.width);
}

// The line of --guess for `message`. The alphabet is named where it is not the one -a named or
// the default, since the shift alone would send -d -s to the wrong letters.
std::string ShiftLine(const Message& message, const ShiftGuesser::Ranking& ranking) {
  const bool nameAlphabet = !message.alphabetGiven && ranking.alphabet != kDefaultAlphabet;
  return std::to_string(ranking.shifts[0]) +
         (nameAlphabet ? std::string(" ") + kAlphabetModels[ranking.alphabet].name : "") +
         (message.several ? "  " + message.name : "") + "\n";
}

// A probability for --json, to four places, rounded as Percent rounds it.
std::string Number(double probability) {
  std::array<char, 16> text{};
  static_cast<void>(std::snprintf(text.data(), text.size(), "%.4f", RoundedDown(probability, 4)));
  return text.data();
}

// The row of --json for `message`: what became of it, and where a guess was made, the guess,
// and with --list, every shift with the first line holding a letter, whole, decrypted with it.
std::string JsonRow(const Message& message, const std::string& status, bool listing,
                    const ShiftGuesser::Ranking* ranking = nullptr,
                    const Sample* sample = nullptr) {
  std::string row = R"({"file": )" + JsonString(message.file) +
                    (message.line > 0 ? R"(, "line": )" + std::to_string(message.line) : "") +
                    R"(, "status": ")" + status + '"';
  if (ranking != nullptr && status != "refused") {
    row += R"(, "shift": )" + std::to_string(ranking->shifts[0]) + R"(, "alphabet": ")" +
           kAlphabetModels[ranking->alphabet].name + R"(", "language": ")" +
           kLanguageModels[ranking->language].code + R"(", "probability": )" +
           Number(ranking->probabilities[0]);
  } else {
    row += R"(, "shift": null, "alphabet": null, "language": null, "probability": null)";
  }
  if (listing) {
    row += R"(, "shifts": [)";
    const std::string line =
        sample != nullptr ? sample->firstLines[ReadingOf(message, *ranking)].Text(0) : "";
    for (std::size_t i = 0; sample != nullptr && i < ranking->shifts.size(); ++i) {
      const int shift = ranking->shifts[i];
      row += std::string(i == 0 ? "" : ", ") + R"({"shift": )" + std::to_string(shift) +
             R"(, "probability": )" + Number(ranking->probabilities[i]) + R"(, "text": )" +
             JsonString(Decrypted(line, shift, ranking->alphabet)) + "}";
    }
    row += "]";
  }
  return row + "}\n";
}

// What --lines gives for a line that has no shift: "-" where a shift would stand, the line as
// it is where it would be decrypted, and nothing where it would be listed; with --json, its row.
Outcome Unanswered(GuessOutput output, const Message& message, const Sample& sample,
                   const char* status, const Writer& write) {
  if (message.json)
    return Written(write, JsonRow(message, status, output == GuessOutput::kListing));
  switch (output) {
    case GuessOutput::kShift:
      return Written(write, std::string("-") + (message.several ? "  " + message.name : "") + "\n");
    case GuessOutput::kDecryption:
      return DecryptRest(0, sample.guessers.front().Alphabet(), sample, message.read, write,
                         message.blockSize)
                 ? Outcome::kDone
                 : Outcome::kWriteFailed;
    default:
      return Outcome::kDone;
  }
}

const char* Status(const Judgement& judgement) {
  if (judgement.refused) return "refused";
  return judgement.message.empty() ? "answered" : "uncertain";
}

}  // namespace

namespace {

// GuessMessage, in `sample`, which holds nothing yet.
Outcome GuessIn(Sample& sample, GuessOutput output, const Message& message, const Writer& write) {
  const bool decrypting = output == GuessOutput::kDecryption;
  const bool listing = output == GuessOutput::kListing;
  // With --json every message has its row, whatever became of it, and the status stays as it
  // would be without.
  const auto failed = [&](const char* status) {
    return message.json &&
                   Written(write, JsonRow(message, status, listing)) == Outcome::kWriteFailed
               ? Outcome::kWriteFailed
               : Outcome::kFailed;
  };
  if (!ReadSample(message.read, sample, decrypting ? &write : nullptr, message.blockSize)) {
    return Outcome::kWriteFailed;
  }
  // A read error has been reported, and is this message's one diagnostic.
  if (message.readFailed()) return failed("unreadable");
  const std::string about = message.several ? message.name + ": " : "";
  const bool eachLine = message.line > 0;
  if (sample.Letters() == 0) {
    // Written already, but for a character the input cut short: without letters it reads the
    // same under every shift.
    if (decrypting) return Written(write, sample.held);
    if (eachLine) return Unanswered(output, message, sample, "no letters", write);
    Report(about + "no letters to guess the shift from");
    return failed("no letters");
  }
  const ShiftGuesser::Ranking ranking = sample.Rank(message.steering);
  const Judgement judgement = Judge(ranking, message.steering.cribs);
  // A list is given even for a guess that would be refused, since it is for looking; but not
  // where no shift holds the cribs, which is all the list would say.
  if (listing && !ranking.cribless) {
    return Written(write, message.json
                              ? JsonRow(message, Status(judgement), true, &ranking, &sample)
                              : ListingOf(message, sample, ranking));
  }
  // A line at a time, a note or a refusal for each line would bury the answers: the line says
  // it has no shift, and --json says which lines were uncertain.
  if (eachLine && judgement.refused) {
    return Unanswered(output, message, sample, "refused", write);
  }
  if (!judgement.message.empty() && !eachLine) Report(about + judgement.message);
  if (judgement.refused) return failed("refused");
  if (message.json) return Written(write, JsonRow(message, Status(judgement), false, &ranking));
  if (!decrypting) return Written(write, ShiftLine(message, ranking));
  return DecryptRest(ranking.shifts[0], ranking.alphabet, sample, message.read, write,
                     message.blockSize)
             ? Outcome::kDone
             : Outcome::kWriteFailed;
}

}  // namespace

Outcome GuessMessage(GuessOutput output, const Message& message, const Writer& write) {
  Sample sample({}, message.alphabets, output == GuessOutput::kListing);
  return GuessIn(sample, output, message, write);
}

Outcome GuessLines(GuessOutput output, const Message& message, const Writer& write) {
  // The answers go out a block at a time rather than a write a line, which cost a fifth of the
  // time, and always before the input is read again, so that lines piped in one at a time get
  // theirs as they come.
  std::string pending;
  bool writeFailed = false;
  const auto flush = [&pending, &writeFailed, &write] {
    writeFailed = writeFailed || (!pending.empty() && !write(pending.data(), pending.size()));
    pending.clear();
    return !writeFailed;
  };
  LineReader lines([&flush, &message](char* data, std::size_t capacity) {
    return flush() ? message.read(data, capacity) : 0;
  });
  const Reader read = [&lines](char* data, std::size_t capacity) {
    return lines.Read(data, capacity);
  };
  // A list is parted from the one before it, and lines without letters list nothing.
  bool wrote = false;
  const Writer noted = [&pending, &wrote, &flush](const char* data, std::size_t size) {
    wrote = true;
    pending.append(data, size);
    return pending.size() < kBlockSize || flush();
  };
  Message line = message;
  line.read = read;
  // Most lines are short, and a buffer of a whole block for each would be mapped and unmapped
  // each time.
  line.blockSize = 4096;
  // One sample for them all, since setting up its alphabets would cost more than a line's guess.
  Sample sample({}, message.alphabets, output == GuessOutput::kListing);
  Outcome outcome = Outcome::kDone;
  while (outcome != Outcome::kWriteFailed && lines.Next()) {
    line.line = lines.Number();
    line.first = message.first && !wrote;
    sample.Clear();
    const Outcome lineOutcome = GuessIn(sample, output, line, noted);
    if (lineOutcome != Outcome::kDone) outcome = lineOutcome;
  }
  if (!flush()) return Outcome::kWriteFailed;
  // A file that could not be opened has no line, but with --json its row all the same.
  if (lines.Number() == 0 && message.readFailed()) return GuessMessage(output, message, write);
  return outcome;
}
