#include "Filter.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "ShiftGuess.h"
#include "SimpleEncryption.h"

namespace {

// Reads into `block` until it is full, the guesser has all the letters it scores, or the input
// ends; returns whether it ended. The reads never ask for more than the block has left, so where
// one block ends in the input does not depend on how the reads split it, nor does the guess.
bool FillForGuess(const Reader& read, std::string& block, ShiftGuesser& guesser) {
  block.resize(kBlockSize);
  std::size_t filled = 0;
  bool ended = false;
  while (filled < kBlockSize && guesser.Letters() < ShiftGuesser::kMaxLetters) {
    const std::size_t got = read(&block[filled], kBlockSize - filled);
    if (got == 0) {
      ended = true;
      break;
    }
    static_cast<void>(guesser.Add(&block[filled], got));
    filled += got;
  }
  block.resize(filled);
  return ended;
}

// Reads until the guess can be made, leaving in `block` what was read and not passed on. Blocks
// with no letter read the same under every shift, so they go to `passOn`, if given, at once and
// need not be held. Returns none if the input held no letter, or if `passOn` failed.
std::optional<ShiftGuesser::Result> ReadForGuess(const Reader& read, std::string& block,
                                                 const Writer* passOn) {
  ShiftGuesser guesser;
  for (;;) {
    const bool ended = FillForGuess(read, block, guesser);
    if (guesser.Letters() > 0) return guesser.Guess();
    if (passOn != nullptr && !block.empty() && !(*passOn)(block.data(), block.size())) {
      return std::nullopt;
    }
    if (ended) return std::nullopt;
  }
}

std::string Rotated(const SimpleEncryption& cipher, bool encrypt, std::string&& block) {
  return encrypt ? cipher.EncryptString(std::move(block)) : cipher.DecryptString(std::move(block));
}

}  // namespace

bool RotateStream(const SimpleEncryption& cipher, bool encrypt, const Reader& read,
                  const Writer& write) {
  // Each block is read to a page boundary, because the kernel copies file pages several times
  // more slowly to 16 bytes past one, where malloc puts a buffer of this size. The bytes before
  // the boundary are rotated too, and never written.
  constexpr std::size_t kPage = 4096;
  std::string block(kPage + kBlockSize, '\0');
  for (;;) {
    const std::size_t pad =
        (kPage - reinterpret_cast<std::uintptr_t>(block.data()) % kPage) % kPage;
    const std::size_t got = read(&block[pad], kBlockSize);
    if (got == 0) return true;
    // Rotated where it was read: rotating a copy would cost a copy of every block, which on
    // some processors takes longer than the rotation.
    block.resize(pad + got);
    block = Rotated(cipher, encrypt, std::move(block));
    if (!write(block.data() + pad, got)) return false;
    block.resize(kPage + kBlockSize);
  }
}

std::optional<ShiftGuesser::Result> GuessShift(const Reader& read) {
  std::string block;
  return ReadForGuess(read, block, nullptr);
}

GuessedDecryption DecryptWithGuessedShift(
    const Reader& read, const Writer& write,
    const std::function<void(const ShiftGuesser::Result&)>& guessed) {
  std::string block;
  bool writeFailed = false;
  const Writer passOn = [&write, &writeFailed](const char* data, std::size_t size) {
    writeFailed = !write(data, size);
    return !writeFailed;
  };
  const std::optional<ShiftGuesser::Result> guess = ReadForGuess(read, block, &passOn);
  if (writeFailed) return GuessedDecryption::kWriteFailed;
  if (!guess) return GuessedDecryption::kNoLetters;
  guessed(*guess);
  const SimpleEncryption cipher(guess->shift);
  block = Rotated(cipher, false, std::move(block));
  if (!write(block.data(), block.size()) || !RotateStream(cipher, false, read, write)) {
    return GuessedDecryption::kWriteFailed;
  }
  return GuessedDecryption::kDone;
}
