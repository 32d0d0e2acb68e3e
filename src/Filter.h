#ifndef SIMPLE_ENCRYPTION_FILTER_H
#define SIMPLE_ENCRYPTION_FILTER_H

#include <cstddef>
#include <functional>

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

#endif  // SIMPLE_ENCRYPTION_FILTER_H
