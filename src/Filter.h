#ifndef SIMPLE_ENCRYPTION_FILTER_H
#define SIMPLE_ENCRYPTION_FILTER_H

#include <cstddef>
#include <functional>
#include <vector>

#include "Alphabet.h"

// The program's filters, apart from where their bytes come from and go to, so that they can be
// driven by files and pipes as well as by a test that splits the input at will. They hold one
// block of their input, whatever the input's size or line lengths.

// Where a filter's bytes come from: fills at most `capacity` bytes at `data` and returns how many.
// 0 means that the input is over.
using Reader = std::function<std::size_t(char* data, std::size_t capacity)>;
// Where they go: takes all `size` bytes at `data`, or returns false to stop the filter.
using Writer = std::function<bool(const char* data, std::size_t size)>;

// The filters' buffer size, and so the most they ask of one read.
inline constexpr std::size_t kBlockSize = std::size_t{128} * 1024;

// Passes everything `read` gives to `write`, with the letters moved as `rotation` moves them,
// `blockSize` bytes at a time. Returns false as soon as a write fails.
bool RotateStream(AlphabetRotation& rotation, const Reader& read, const Writer& write,
                  std::size_t blockSize = kBlockSize);

// The lines of what a Reader gives, each read as an input of its own, so that a filter made for
// whole inputs takes them one at a time. Holds one block, however long a line is.
//
//   LineReader lines(read);
//   while (lines.Next()) Guess([&lines](char* data, std::size_t n) { return lines.Read(data, n);
//   });
class LineReader {
 public:
  explicit LineReader(Reader source, std::size_t blockSize = kBlockSize);
  // Moves on to the next line, past whatever is left unread of this one. Returns false when the
  // input has no line left.
  bool Next();
  // Reads up to `capacity` bytes of the current line, its line feed included, and returns how
  // many; 0 at its end.
  std::size_t Read(char* data, std::size_t capacity);
  // Returns the current line's number, from 1.
  [[nodiscard]] std::size_t Number() const { return number; }

 private:
  // Reads the next block, when none is held. Returns false at the end of the input.
  bool Fill();

  Reader read;
  std::vector<char> block;
  std::size_t start = 0;  // what of `block` is unread: [start, end)
  std::size_t end = 0;
  bool lineOver = true;  // whether the current line has been read to its end
  std::size_t number = 0;
};

#endif  // SIMPLE_ENCRYPTION_FILTER_H
