// Feeds arbitrary streams to the filters, split into reads of arbitrary sizes, and checks that the
// result is what the whole stream gives at once: the rotation, the guess and the guessed
// decryption. Any difference aborts, so that libFuzzer keeps the input.
//
// The input, in order: 4 bytes for the shift (any int), 8 bytes that seed the read sizes, and the
// stream. Built for fuzzing, the filters' block holds 256 bytes and the guess takes 64 letters, so
// that short streams cross both bounds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "Filter.h"
#include "ShiftGuess.h"
#include "SimpleEncryption.h"

namespace {

void Check(bool holds, const char* what) {
  if (!holds) {
    static_cast<void>(std::fprintf(stderr, "property broken: %s\n", what));
    std::abort();
  }
}

template <typename T>
T Take(const std::uint8_t*& data, std::size_t& size) {
  T value{};
  if (size >= sizeof value) {
    std::memcpy(&value, data, sizeof value);
    data += sizeof value;
    size -= sizeof value;
  }
  return value;
}

// Hands out `stream` in reads whose sizes a seeded generator picks: often a few bytes, sometimes
// all the reader may take.
Reader SplitReader(const std::string& stream, std::uint64_t seed) {
  return [&stream, seed, at = std::size_t{0}](char* data, std::size_t capacity) mutable {
    seed = seed * 6364136223846793005U + 1442695040888963407U;
    const std::uint64_t pick = seed >> 33;
    std::size_t size = pick % 4 == 0 ? capacity : 1 + static_cast<std::size_t>(pick >> 2) % 300;
    size = std::min({size, capacity, stream.size() - at});
    std::memcpy(data, stream.data() + at, size);
    at += size;
    return size;
  };
}

Writer AppendTo(std::string& out) {
  return [&out](const char* data, std::size_t size) {
    out.append(data, size);
    return true;
  };
}

// What the guess must be: made from the first block that holds a letter, up to the last letter
// the guesser takes.
std::optional<ShiftGuesser::Result> ExpectedGuess(const std::string& stream) {
  const std::size_t first =
      stream.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  if (first == std::string::npos) return std::nullopt;
  const std::size_t block = first - first % kBlockSize;
  ShiftGuesser guesser;
  static_cast<void>(
      guesser.Add(stream.data() + block, std::min(kBlockSize, stream.size() - block)));
  return guesser.Guess();
}

bool Same(const std::optional<ShiftGuesser::Result>& a,
          const std::optional<ShiftGuesser::Result>& b) {
  if (!a || !b) return !a && !b;
  return a->shift == b->shift && a->runnerUp == b->runnerUp && a->sure == b->sure;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto shift = Take<int>(data, size);
  const auto seed = Take<std::uint64_t>(data, size);
  const std::string stream(reinterpret_cast<const char*>(data), size);

  const SimpleEncryption cipher(shift);
  for (const bool encrypt : {true, false}) {
    std::string out;
    Check(RotateStream(cipher, encrypt, SplitReader(stream, seed), AppendTo(out)),
          "a rotation whose writes succeed succeeds");
    Check(out == (encrypt ? cipher.EncryptString(stream) : cipher.DecryptString(stream)),
          "the rotated stream is the whole stream rotated at once");
  }

  const std::optional<ShiftGuesser::Result> expected = ExpectedGuess(stream);
  const std::optional<ShiftGuesser::Result> guess = GuessShift(SplitReader(stream, seed));
  Check(Same(guess, expected), "the guess does not depend on how the reads split the stream");
  if (guess) {
    Check(guess->shift >= 0 && guess->shift < 26 && guess->runnerUp >= 0 && guess->runnerUp < 26 &&
              guess->shift != guess->runnerUp,
          "the guess and the runner-up are two shifts 0..25");
  }

  std::string out;
  std::optional<ShiftGuesser::Result> used;
  const GuessedDecryption result = DecryptWithGuessedShift(
      SplitReader(stream, ~seed), AppendTo(out), [&used, &out](const ShiftGuesser::Result& made) {
        Check(!used && out.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") ==
                           std::string::npos,
              "the guess is made once, before any letter is written");
        used = made;
      });
  Check(Same(used, expected), "the decryption uses the guess");
  Check(result == (expected ? GuessedDecryption::kDone : GuessedDecryption::kNoLetters),
        "the decryption ends as the guess says");
  Check(out == (expected ? SimpleEncryption(expected->shift).DecryptString(stream) : stream),
        "the decrypted stream is the whole stream decrypted at once");
  return 0;
}
