#include "Filter.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ShiftGuess.h"
#include "SimpleEncryption.h"

bool RotateStream(const SimpleEncryption& cipher, bool encrypt, const Reader& read,
                  const Writer& write, std::size_t blockSize) {
  // Each block is read to a page boundary, because the kernel copies file pages several times
  // more slowly to 16 bytes past one, where malloc puts a buffer of this size.
  constexpr std::size_t kPage = 4096;
  std::vector<char> buffer(kPage + blockSize);
  char* const block =
      buffer.data() + (kPage - reinterpret_cast<std::uintptr_t>(buffer.data()) % kPage) % kPage;
  for (;;) {
    const std::size_t got = read(block, blockSize);
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
