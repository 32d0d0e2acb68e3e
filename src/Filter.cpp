#include "Filter.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "Alphabet.h"

namespace {

constexpr std::size_t kPage = 4096;

// The first page boundary in `buffer`, which must be a page longer than what it is to hold.
// Each block is read to a page boundary, because the kernel copies file pages several times
// more slowly to 16 bytes past one, where malloc puts a buffer of this size.
char* PageIn(std::vector<char>& buffer) {
  return buffer.data() + (kPage - reinterpret_cast<std::uintptr_t>(buffer.data()) % kPage) % kPage;
}

}  // namespace

bool RotateStream(AlphabetRotation& rotation, const Reader& read, const Writer& write,
                  std::size_t blockSize) {
  if (rotation.InPlace()) {
    std::vector<char> buffer(kPage + blockSize);
    char* const block = PageIn(buffer);
    for (;;) {
      const std::size_t got = read(block, blockSize);
      if (got == 0) return true;
      // Rotated where it was read: rotating a copy would cost a copy of every block, which on
      // some processors takes longer than the rotation.
      rotation.RotateInPlace(block, got);
      if (!write(block, got)) return false;
    }
  }
  // Otherwise into a buffer of its own, since a letter may take more bytes than it did. The input
  // starts at a page boundary, for the kernel's copies; the output half a page past one, since
  // the processor takes a store at the same offset in its page as a load a little later for one
  // that may hit it, and waits: Russian text took a fifth longer so.
  const std::size_t room =
      AlphabetRotation::kMostGrowth * (blockSize + AlphabetRotation::kMostHeld);
  std::vector<char> buffer(3 * kPage + blockSize + room);
  char* const input = PageIn(buffer);
  char* const output = input + (blockSize + kPage - 1) / kPage * kPage + kPage / 2;
  for (;;) {
    const std::size_t got = read(input, blockSize);
    char* const end = got == 0 ? rotation.Finish(output) : rotation.Rotate(input, got, output);
    const auto size = static_cast<std::size_t>(end - output);
    if (size > 0 && !write(output, size)) return false;
    if (got == 0) return true;
  }
}

LineReader::LineReader(Reader source, std::size_t blockSize)
    : read(std::move(source)), block(blockSize) {}

bool LineReader::Fill() {
  if (start < end) return true;
  start = 0;
  end = read(block.data(), block.size());
  return end > 0;
}

bool LineReader::Next() {
  // What is left of the line is passed over where it lies.
  while (!lineOver && Fill()) {
    const void* const lineFeed = std::memchr(block.data() + start, '\n', end - start);
    lineOver = lineFeed != nullptr;
    start = lineOver
                ? static_cast<std::size_t>(static_cast<const char*>(lineFeed) - block.data()) + 1
                : end;
  }
  if (!Fill()) return false;
  lineOver = false;
  ++number;
  return true;
}

std::size_t LineReader::Read(char* data, std::size_t capacity) {
  if (lineOver || !Fill()) {
    lineOver = true;
    return 0;
  }
  const std::size_t available = std::min(capacity, end - start);
  const void* const lineFeed = std::memchr(block.data() + start, '\n', available);
  const std::size_t size =
      lineFeed == nullptr
          ? available
          : static_cast<std::size_t>(static_cast<const char*>(lineFeed) - (block.data() + start)) +
                1;
  std::memcpy(data, block.data() + start, size);
  start += size;
  lineOver = lineFeed != nullptr;
  return size;
}
