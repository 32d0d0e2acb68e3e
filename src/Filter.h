#ifndef SIMPLE_ENCRYPTION_FILTER_H
#define SIMPLE_ENCRYPTION_FILTER_H

#include <cstddef>
#include <functional>
#include <optional>

#include "ShiftGuess.h"
#include "SimpleEncryption.h"

// The program's filters, apart from where their bytes come from and go to, so that they can be
// driven by files and pipes as well as by a test that splits the input at will. Each streams
// through one block-sized buffer, whatever the input's size or line lengths.

// Where a filter's bytes come from: fills at most `capacity` bytes at `data` and returns how many.
// 0 means that the input is over.
using Reader = std::function<std::size_t(char* data, std::size_t capacity)>;
// Where they go: takes all `size` bytes at `data`, or returns false to stop the filter.
using Writer = std::function<bool(const char* data, std::size_t size)>;

// The filters' buffer size, and so the most they ask of one read. The fuzz build makes it small,
// so that short inputs cross many block boundaries.
#ifdef SIMPLE_ENCRYPTION_FUZZ_SIZES
inline constexpr std::size_t kBlockSize = 256;
#else
inline constexpr std::size_t kBlockSize = std::size_t{128} * 1024;
#endif

// Passes everything `read` gives to `write`, with the letters moved forward by the cipher's shift
// when `encrypt` is true and back when not. Returns false as soon as a write fails.
bool RotateStream(const SimpleEncryption& cipher, bool encrypt, const Reader& read,
                  const Writer& write);

// Guesses the shift from the start of the input: from its first ShiftGuesser::kMaxLetters letters,
// or from fewer when the first of its blocks (kBlockSize bytes each, counted from the start) that
// holds a letter holds fewer. Returns none when the input holds no letter.
std::optional<ShiftGuesser::Result> GuessShift(const Reader& read);

// Decrypts the input with the shift that GuessShift would give, buffering only the stretch it is
// guessed from, and calls `guessed` with the guess before it writes a letter.
enum class GuessedDecryption { kDone, kNoLetters, kWriteFailed };
GuessedDecryption DecryptWithGuessedShift(
    const Reader& read, const Writer& write,
    const std::function<void(const ShiftGuesser::Result&)>& guessed);

#endif  // SIMPLE_ENCRYPTION_FILTER_H
