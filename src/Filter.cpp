#include "Filter.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ShiftGuess.h"
#include "SimpleEncryption.h"

namespace {

// Reads the sample into `sample`. With `passOn`, it keeps in `held` what it read from the first
// block holding a letter on, and gives `passOn` the blocks before that; without, it keeps
// nothing. Returns false if `passOn` failed.
bool FillSample(const Reader& read, Sample& sample, std::string& held, const Writer* passOn) {
  for (;;) {
    const std::size_t start = held.size();
    held.resize(start + kBlockSize);
    const std::size_t got = read(&held[start], kBlockSize);
    held.resize(start + got);
    if (got == 0) return true;
    static_cast<void>(sample.guesser.Add(&held[start], got));
    sample.firstLine.Add(&held[start], got);
    if (passOn == nullptr || sample.guesser.Letters() == 0) {
      if (passOn != nullptr && !(*passOn)(held.data(), held.size())) return false;
      held.clear();
    }
    if (sample.guesser.Full()) return true;
  }
}

}  // namespace

bool RotateStream(const SimpleEncryption& cipher, bool encrypt, const Reader& read,
                  const Writer& write) {
  // Each block is read to a page boundary, because the kernel copies file pages several times
  // more slowly to 16 bytes past one, where malloc puts a buffer of this size.
  constexpr std::size_t kPage = 4096;
  std::vector<char> buffer(kPage + kBlockSize);
  char* const block =
      buffer.data() + (kPage - reinterpret_cast<std::uintptr_t>(buffer.data()) % kPage) % kPage;
  for (;;) {
    const std::size_t got = read(block, kBlockSize);
    if (got == 0) return true;
    // Rotated where it was read: rotating a copy would cost a copy of every block, which on
    // some processors takes longer than the rotation.
    if (encrypt) {
      cipher.EncryptInPlace(block, got);
    } else {
      cipher.DecryptInPlace(block, got);
    }
    if (!write(block, got)) return false;
  }
}

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

Sample ReadSample(const Reader& read) {
  Sample sample;
  std::string block;
  static_cast<void>(FillSample(read, sample, block, nullptr));
  return sample;
}

GuessedDecryption DecryptWithGuessedShift(
    const Reader& read, const Writer& write,
    const std::function<bool(const ShiftGuesser::Ranking&)>& decide) {
  Sample sample;
  std::string held;
  if (!FillSample(read, sample, held, &write)) return GuessedDecryption::kWriteFailed;
  if (sample.guesser.Letters() == 0) return GuessedDecryption::kDone;
  const ShiftGuesser::Ranking ranking = sample.guesser.Rank();
  if (!decide(ranking)) return GuessedDecryption::kStopped;
  const SimpleEncryption cipher(ranking.shifts[0]);
  cipher.DecryptInPlace(held.data(), held.size());
  if (!write(held.data(), held.size()) || !RotateStream(cipher, false, read, write)) {
    return GuessedDecryption::kWriteFailed;
  }
  return GuessedDecryption::kDone;
}
