#ifndef SIMPLE_ENCRYPTION_FILTER_H
#define SIMPLE_ENCRYPTION_FILTER_H

#include <cstddef>
#include <functional>
#include <string>

#include "ShiftGuess.h"
#include "SimpleEncryption.h"

// The program's filters, apart from where their bytes come from and go to, so that they can be
// driven by files and pipes as well as by a test that splits the input at will. Each holds at
// most a bounded stretch of its input, whatever the input's size or line lengths.

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

// The start of a message, which its shift is guessed from.
struct Sample {
  // The first line of the message that holds a letter among its first kBytes bytes, cut there.
  class FirstLine {
   public:
    static constexpr std::size_t kBytes = 64;
    void Add(const char* data, std::size_t size);
    [[nodiscard]] std::string Text() const { return hasLetter ? line : std::string(); }

   private:
    std::string line;
    bool hasLetter = false;
    bool done = false;
  };

  ShiftGuesser guesser;
  FirstLine firstLine;
};

// Reads the message until the guesser is full or the input ends.
Sample ReadSample(const Reader& read);

// Decrypts the message with the shift ranked first on its sample. Of the message, it holds only
// the sample: the blocks before its first letter read the same under every shift, so they are
// written at once. When there is a letter, it calls `decide` with the ranking before it writes
// one, and writes no more if that returns false.
enum class GuessedDecryption { kDone, kStopped, kWriteFailed };
GuessedDecryption DecryptWithGuessedShift(
    const Reader& read, const Writer& write,
    const std::function<bool(const ShiftGuesser::Ranking&)>& decide);

#endif  // SIMPLE_ENCRYPTION_FILTER_H
