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

// The filters' buffer size, and so the most they ask of one read.
inline constexpr std::size_t kBlockSize = std::size_t{128} * 1024;

// Passes everything `read` gives to `write`, with the letters moved forward by the cipher's shift
// when `encrypt` is true and back when not, `blockSize` bytes at a time. Returns false as soon as
// a write fails.
bool RotateStream(const SimpleEncryption& cipher, bool encrypt, const Reader& read,
                  const Writer& write, std::size_t blockSize = kBlockSize);

// The start of a message, which its shift is guessed from.
struct Sample {
  // The first line of the message that holds a letter, its first kBytes bytes, without the CR of
  // a CR LF line end.
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

  // Most bytes read for a guess while no letter has come, unless they are passed on.
  static constexpr std::size_t kMostBeforeALetter = std::size_t{1} << 20;

  explicit Sample(ShiftGuesser::Bounds bounds = {}) : guesser(bounds) {}

  ShiftGuesser guesser;
  FirstLine firstLine;
  // Of a sample read with bytes passed on, what was read from the first block holding a letter.
  std::string held;
};

// Reads the start of a message into `sample`, until the guesser is full or the input ends, in
// reads of `blockSize` bytes. With `passOn`, gives it the blocks before the first letter, which
// read the same under every shift, and keeps the rest in `sample.held`. Without, keeps nothing,
// and stops after Sample::kMostBeforeALetter bytes without a letter. Returns false if `passOn`
// failed.
bool ReadSample(const Reader& read, Sample& sample, const Writer* passOn = nullptr,
                std::size_t blockSize = kBlockSize);

// Writes the held part of `sample` and then the rest of the message decrypted with `shift`.
// Returns false if a write failed.
bool DecryptRest(int shift, Sample& sample, const Reader& read, const Writer& write,
                 std::size_t blockSize = kBlockSize);

#endif  // SIMPLE_ENCRYPTION_FILTER_H
