#include "Guess.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>

#include "Diagnostics.h"
#include "Filter.h"
#include "ShiftGuess.h"
#include "SimpleEncryption.h"

namespace {

// Below this, a guess is noted as uncertain.
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

Judgement Judge(const ShiftGuesser::Ranking& ranking) {
  if (ranking.refused) {
    return {true, "no shift makes the text read as English, German, French, Spanish or Italian"};
  }
  if (ranking.probabilities[0] >= kSureProbability) return {};
  return {false, "uncertain guess: shift " + std::to_string(ranking.shifts[0]) + " at " +
                     Percent(ranking.probabilities[0]) + ", then shift " +
                     std::to_string(ranking.shifts[1]) + " at " +
                     Percent(ranking.probabilities[1])};
}

std::string Percent(double probability) {
  std::array<char, 16> text{};
  static_cast<void>(
      std::snprintf(text.data(), text.size(), "%.1f%%", std::floor(1000 * probability) / 10));
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
