#include "Guess.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>

#include "Diagnostics.h"
#include "Filter.h"
#include "LanguageModels.h"
#include "ShiftGuess.h"
#include "SimpleEncryption.h"

namespace {

// Below this, a guess is noted as uncertain (chosen by hand).
constexpr double kSureProbability = 0.99;

// `line` decrypted, in at most the 64 columns that a line of --list leaves on an 80-column
// terminal, with control bytes and bytes from 0x80 up written as cat -vT writes them, so that
// none of them can act on the terminal.
std::string Preview(const std::string& line) {
  constexpr std::size_t kColumns = 64;
  std::string shown;
  for (const char c : line) {
    auto byte = static_cast<unsigned char>(c);
    std::string glyph = byte >= 0x80 ? "M-" : "";
    byte &= 0x7F;
    if (byte < 0x20 || byte == 0x7F) {
      glyph += {'^', static_cast<char>(byte ^ 0x40)};
    } else {
      glyph += static_cast<char>(byte);
    }
    if (shown.size() + glyph.size() > kColumns) break;
    shown += glyph;
  }
  return shown;
}

}  // namespace

void Sample::FirstLine::Add(const char* data, std::size_t size) {
  for (std::size_t i = 0; i < size && !done; ++i) {
    if (data[i] == '\n') {
      done = hasLetter;
      if (!done) line.clear();
      // A line of a CR LF file ends at its CR, which would only be noise at the end of a preview.
      if (done && !line.empty() && line.back() == '\r') line.pop_back();
    } else if (line.size() < kBytes) {
      line += data[i];
      hasLetter =
          hasLetter || SimpleEncryption::LetterIndex(static_cast<unsigned char>(data[i])) < 26;
    }
  }
}

bool ReadSample(const Reader& read, Sample& sample, const Writer* passOn, std::size_t blockSize) {
  std::string& held = sample.held;
  std::size_t beforeALetter = 0;
  for (;;) {
    const std::size_t start = held.size();
    held.resize(start + blockSize);
    const std::size_t got = read(&held[start], blockSize);
    held.resize(start + got);
    if (got == 0) break;
    static_cast<void>(sample.guesser.Add(&held[start], got));
    sample.firstLine.Add(&held[start], got);
    if (passOn == nullptr || sample.guesser.Letters() == 0) {
      if (passOn != nullptr && !(*passOn)(held.data(), held.size())) return false;
      held.clear();
    }
    if (sample.guesser.Full()) break;
    if (sample.guesser.Letters() == 0) beforeALetter += got;
    if (passOn == nullptr && beforeALetter >= Sample::kMostBeforeALetter) break;
  }
  return true;
}

bool DecryptRest(int shift, Sample& sample, const Reader& read, const Writer& write,
                 std::size_t blockSize) {
  const SimpleEncryption cipher(shift);
  cipher.DecryptInPlace(sample.held.data(), sample.held.size());
  return write(sample.held.data(), sample.held.size()) &&
         RotateStream(cipher, false, read, write, blockSize);
}

std::string LanguageNames(const std::string& lastJoin) {
  std::string names;
  for (std::size_t i = 0; i < kLanguages; ++i) {
    names += (i == 0 ? "" : i + 1 == kLanguages ? " " + lastJoin + " " : ", ");
    names += kLanguageModels[i].name;
  }
  return names;
}

Judgement Judge(const ShiftGuesser::Ranking& ranking) {
  if (ranking.refused) {
    return {true, "no shift makes the text read as " + LanguageNames("or")};
  }
  if (ranking.probabilities[0] >= kSureProbability) return {};
  std::string note = "uncertain guess: shift " + std::to_string(ranking.shifts[0]) + " at " +
                     Percent(ranking.probabilities[0]) + ", then shift " +
                     std::to_string(ranking.shifts[1]) + " at " + Percent(ranking.probabilities[1]);
  // Where the text more likely reads as no language at all, the note says so: the two shifts
  // alone would not tell where the rest went.
  if (ranking.noLanguage > ranking.probabilities[0]) {
    note += ", and no language at " + Percent(ranking.noLanguage);
  }
  return {false, note};
}

std::string Percent(double probability) {
  // A probability of 1 is only the others too small for a double: no guess is certain.
  constexpr double kMostShown = 0.999;
  std::array<char, 16> text{};
  static_cast<void>(std::snprintf(text.data(), text.size(), "%.1f%%",
                                  std::floor(1000 * std::min(probability, kMostShown)) / 10));
  return text.data();
}

std::string Listing(const ShiftGuesser::Ranking& ranking, const std::string& line) {
  std::string listing;
  for (std::size_t i = 0; i < 26; ++i) {
    const int shift = ranking.shifts[i];
    listing += std::to_string(shift) + '\t' + Percent(ranking.probabilities[i]) + '\t' +
               Preview(SimpleEncryption(shift).DecryptString(line)) + '\n';
  }
  return listing;
}

Outcome GuessMessage(GuessOutput output, const Message& message, const Writer& write) {
  const bool decrypting = output == GuessOutput::kDecryption;
  Sample sample;
  if (!ReadSample(message.read, sample, decrypting ? &write : nullptr)) {
    return Outcome::kWriteFailed;
  }
  // A read error has been reported, and is this message's one diagnostic.
  if (message.readFailed()) return Outcome::kFailed;
  const std::string about = message.several ? message.name + ": " : "";
  if (sample.guesser.Letters() == 0) {
    // Written already: without letters it reads the same under every shift.
    if (decrypting) return Outcome::kDone;
    Report(about + "no letters to guess the shift from");
    return Outcome::kFailed;
  }
  const ShiftGuesser::Ranking ranking = sample.guesser.Rank();
  std::string text;
  if (output == GuessOutput::kListing) {
    // A list is given even for a guess that would be refused, since it is for looking.
    if (message.several) {
      text = std::string(message.first ? "" : "\n") + "==> " + message.name + " <==\n";
    }
    text += Listing(ranking, sample.firstLine.Text());
    return write(text.data(), text.size()) ? Outcome::kDone : Outcome::kWriteFailed;
  }
  const Judgement judgement = Judge(ranking);
  if (!judgement.message.empty()) Report(about + judgement.message);
  if (judgement.refused) return Outcome::kFailed;
  if (decrypting) {
    return DecryptRest(ranking.shifts[0], sample, message.read, write) ? Outcome::kDone
                                                                       : Outcome::kWriteFailed;
  }
  text = std::to_string(ranking.shifts[0]) + (message.several ? "  " + message.name : "") + "\n";
  return write(text.data(), text.size()) ? Outcome::kDone : Outcome::kWriteFailed;
}
